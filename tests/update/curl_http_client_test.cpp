#include "update/curl/curl_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "loopback_server.h"
#include "stalled_resolver.h"

namespace tarnwick {
namespace {

using testing::LoopbackServer;

const HttpLimits kLimits{1024 * 1024, 60, false, {}};

const char* const kRoutes = R"({
  "/page": [{"body": "hello"}],
  "/redirect": [{"status": 302, "headers": [["Location", "{base}/page"]]}],
  "/chain": [{"status": 301, "headers": [["Location", "/redirect"]]}],
  "/loop": [{"status": 302, "headers": [["Location", "/loop"]]}],
  "/to-file": [{"status": 302, "headers": [["Location", "file:///etc/passwd"]]}],
  "/to-ftp": [{"status": 302, "headers": [["Location", "ftp://127.0.0.1/x"]]}],
  "/error": [{"status": 500, "body": "LastVer;9;0;http://h/x;"}],
  "/short": [{"body": "0123456789", "length": "100"}],
  "/long": [{"body": "0123456789", "length": "5"}],
  "/none": [{"body": "0123456789", "length": null}],
  "/twice": [{"body": "0123456789", "length": null,
              "headers": [["Content-Length", "10"], ["Content-Length", "11"]]}],
  "/big": [{"body": "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}],
  "/endless": [{"mode": "endless"}],
  "/hang": [{"mode": "hang"}],
  "/stall": [{"mode": "stall", "body": "0123456789"}]
})";

class CurlHttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.ok()); }
  bool Get(const std::string& path, HttpReply& reply, HttpLimits limits = kLimits) {
    return client.Get(server.Base() + path, limits, reply);
  }

  LoopbackServer server{kRoutes};
  CurlHttpClient client{"Tarnwick"};
};

TEST_F(CurlHttpClientTest, GetsTheBodyAndLengthWithTheTitleAsUserAgent) {
  HttpReply reply;
  ASSERT_TRUE(Get("/page?app=zerik&uid=AB", reply));
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, "hello");
  EXPECT_EQ(reply.contentLength, "5");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].path, "/page?app=zerik&uid=AB");
  EXPECT_EQ(server.Requests()[0].agent, "Tarnwick");
}

TEST_F(CurlHttpClientTest, FollowsRedirectsWithinHttp) {
  HttpReply reply;
  ASSERT_TRUE(Get("/chain", reply));
  EXPECT_EQ(reply.body, "hello");
  EXPECT_EQ(reply.contentLength, "5");  // the last response's, not a redirect's
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(CurlHttpClientTest, RefusesLoopsOtherSchemesAndErrors) {
  for (const char* path : {"/loop", "/to-file", "/to-ftp", "/error", "/missing"}) {
    HttpReply reply;
    EXPECT_FALSE(Get(path, reply)) << path;
  }
  // A loop is given up after at most five redirects.
  std::size_t loops = 0;
  for (const auto& request : server.Requests()) loops += request.path == "/loop";
  EXPECT_EQ(loops, 6u);
  HttpReply reply;
  EXPECT_FALSE(client.Get("ftp://127.0.0.1/x", kLimits, reply));
}

TEST_F(CurlHttpClientTest, ReadsToTheEndWhateverTheLengthHeaderSays) {
  const struct {
    const char* path;
    std::optional<std::string> header;
  } cases[] = {
      {"/short", "100"},
      {"/long", "5"},
      {"/none", std::nullopt},
      {"/twice", std::nullopt},  // two that differ say nothing
  };
  for (const auto& c : cases) {
    HttpReply reply;
    ASSERT_TRUE(Get(c.path, reply)) << c.path;
    EXPECT_EQ(reply.body, "0123456789") << c.path;
    EXPECT_EQ(reply.contentLength, c.header) << c.path;
  }
}

TEST_F(CurlHttpClientTest, BodiesOverTheLimitFailUnlessCut) {
  HttpReply reply;
  EXPECT_FALSE(Get("/big", reply, {16, 60, false, {}}));
  EXPECT_FALSE(Get("/endless", reply, {64 * 1024, 60, false, {}}));
  for (const char* path : {"/big", "/endless"}) {
    EXPECT_TRUE(Get(path, reply, {16, 60, true, {}})) << path;
    EXPECT_EQ(reply.body.size(), 16u) << path;
  }
}

TEST_F(CurlHttpClientTest, CancelEndsAWaitingTransferAndEveryLaterOne) {
  // Looking the name up, waiting for the answer, in the middle of the body.
  for (const char* path : {"", "/hang", "/stall"}) {
    const bool lookup = *path == '\0';
    CurlHttpClient cancelled("Tarnwick");
    const std::size_t before = server.Requests().size();
    // A proxy would be looked up instead of the stalled name.
    if (lookup) ::setenv("no_proxy", "*", 1);
    const std::string url =
        lookup ? "http://" + std::string(testing::kStalledHost) + "/" : server.Base() + path;
    auto transfer = std::async(std::launch::async, [&] {
      HttpReply reply;
      return cancelled.Get(url, kLimits, reply);
    });
    if (lookup) {
      testing::WaitForAStalledLookup();
    } else {
      ASSERT_TRUE(server.WaitForRequests(before + 1));
    }
    cancelled.Cancel();
    // Far below the stall limit that would end it otherwise.
    // The lookup stays stalled: the transfer must not wait for it.
    const bool ended = transfer.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (lookup) testing::ReleaseStalledLookups();
    ASSERT_TRUE(ended) << path;
    EXPECT_FALSE(transfer.get());
    HttpReply reply;
    EXPECT_FALSE(cancelled.Get(server.Base() + "/page", kLimits, reply));
    EXPECT_EQ(server.Requests().size(), before + (lookup ? 0 : 1));
  }
}

}  // namespace
}  // namespace tarnwick
