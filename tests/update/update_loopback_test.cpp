// The version check with the real HTTP client and real files, against a
// scripted server on loopback; the profile and the window are fakes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "loopback_server.h"
#include "support/temp_dir.h"
#include "update/curl/curl_http_client.h"
#include "update/update_checker.h"
#include "update/update_files.h"
#include "update/update_rules.h"
#include "update_fakes.h"

namespace tarnwick {
namespace {

using testing::FakeProfile;
using testing::FakeWindow;
using testing::Hex;
using testing::LoopbackServer;
using testing::TempDir;

constexpr std::int64_t kNow = 1700000000;
const std::string kElf = testing::OwnKindOfExecutable() + "end";

// The page's reply and the download's responses, as the server's routes.
std::string Routes(const std::string& reply, const std::string& download) {
  return R"({"/ver/checkver.php": [{"body": ")" + reply + R"("}], "/new": [)" + download +
         R"(], "/loop": [{"status": 302, "headers": [["Location", "/loop"]]}]})";
}

// One check of "<temp>/app dir/tarnwick" against its own server.
struct LoopbackCheck {
  LoopbackCheck(const TempDir& dir, FakeProfile& profile, const std::string& routes,
                UpdateAnswer answer = UpdateAnswer::kYes)
      : server(routes), exe(dir.path() / "app dir" / "tarnwick") {
    window.answer = answer;
    std::filesystem::create_directories(exe.parent_path());
    testing::WriteBytes(exe.string(), {1, 2, 3});
    CUpdateChecker checker({http, profile, window, files, [] { return kNow; }}, exe.string(),
                           "1.2.1.2", "Tarnwick", 4242);
    EXPECT_TRUE(checker.StartCheck(server.Base() + "/ver/checkver.php?app=zerik", "/start"));
    checker.WaitForEnd();
    outcome = checker.Outcome();
  }
  std::size_t Downloads() const {
    std::size_t count = 0;
    for (const auto& request : server.Requests()) count += request.path == "/new";
    return count;
  }
  // Nothing but the old program in its directory, and the program left open.
  bool NothingWritten() const {
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(exe.parent_path()))
      ++entries;
    return entries == 1 && window.closeRequests == 0;
  }

  LoopbackServer server;
  std::filesystem::path exe;
  CurlHttpClient http{"Tarnwick"};
  FakeWindow window;
  PlatformUpdateFiles files;
  CheckOutcome outcome = CheckOutcome::kNotStarted;
};

TEST(UpdateLoopback, TheQuestionFollowsTheThreeDayRule) {
  for (const std::int32_t age : {kAskInterval - 1, kAskInterval}) {
    TempDir dir;
    FakeProfile profile;
    profile.values["Default/UpdateRequest"] = LowTime32(kNow) - age;
    LoopbackCheck check(dir, profile, Routes("LastVer;1.3.0.0;1;{base}/new;", "{}"),
                        UpdateAnswer::kNo);
    EXPECT_EQ(check.window.questions.size(), age < kAskInterval ? 0u : 1u) << age;
    EXPECT_EQ(profile.values["Default/UpdateRequest"],
              age < kAskInterval ? LowTime32(kNow) - age : LowTime32(kNow));
    EXPECT_EQ(check.Downloads(), 0u);
  }
}

TEST(UpdateLoopback, BadDownloadsWriteNothing) {
  const std::string elf = Hex(kElf);
  const std::string cases[] = {
      R"({"body_hex": "4d5a)" + elf + R"("})",                     // the other platform's magic
      R"({"body_hex": ")" + elf + R"(", "length": "4000"})",       // short body
      R"({"body_hex": ")" + elf + R"(", "length": "12"})",         // long body
      R"({"body_hex": ")" + elf + R"(", "length": null})",         // no length
      R"({"body_hex": ")" + elf + R"(", "length": "31x"})",        // unparsable length
      R"({"body_hex": ")" + elf + R"(", "length": "300000000"})",  // over 256 MiB
      R"({"status": 404, "body_hex": ")" + elf + R"("})",
      R"({"status": 302, "headers": [["Location", "/loop"]]})",
      R"({"mode": "endless"})",  // ends at the 256 MiB limit
  };
  for (const std::string& download : cases) {
    TempDir dir;
    FakeProfile profile;
    LoopbackCheck check(dir, profile, Routes("LastVer;1.3.0.0;0;{base}/new;", download));
    EXPECT_TRUE(check.outcome == CheckOutcome::kBadDownload ||
                check.outcome == CheckOutcome::kDownloadFailed)
        << download;
    EXPECT_TRUE(check.NothingWritten()) << download;
    EXPECT_GE(check.Downloads(), 1u) << download;
  }
}

}  // namespace
}  // namespace tarnwick
