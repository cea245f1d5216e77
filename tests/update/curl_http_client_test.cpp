#include "update/curl/curl_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "loopback_server.h"

namespace tarnwick {
namespace {

using testing::LoopbackServer;

constexpr HttpLimits kLimits{1024 * 1024, 60};

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

TEST_F(CurlHttpClientTest, BodiesOverTheLimitFail) {
  HttpReply reply;
  EXPECT_FALSE(Get("/big", reply, {16, 60}));
  EXPECT_FALSE(Get("/endless", reply, {64 * 1024, 60}));
  EXPECT_TRUE(Get("/big", reply, {64, 60}));
  EXPECT_EQ(reply.body.size(), 64u);
}

TEST_F(CurlHttpClientTest, CancelEndsAWaitingTransferAndEveryLaterOne) {
  for (const char* path : {"/hang", "/stall"}) {
    CurlHttpClient cancelled("Tarnwick");
    const std::size_t before = server.Requests().size();
    auto transfer = std::async(std::launch::async, [&] {
      HttpReply reply;
      return cancelled.Get(server.Base() + path, kLimits, reply);
    });
    ASSERT_TRUE(server.WaitForRequests(before + 1));
    cancelled.Cancel();
    // Far below the stall limit that would end it otherwise.
    ASSERT_EQ(transfer.wait_for(std::chrono::seconds(10)), std::future_status::ready) << path;
    EXPECT_FALSE(transfer.get());
    HttpReply reply;
    EXPECT_FALSE(cancelled.Get(server.Base() + "/page", kLimits, reply));
    EXPECT_EQ(server.Requests().size(), before + 1);
  }
}

}  // namespace
}  // namespace tarnwick
