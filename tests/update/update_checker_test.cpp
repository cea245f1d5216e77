#include "update/update_checker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "update/swap_script.h"
#include "update/update_rules.h"
#include "update_fakes.h"

namespace tarnwick {
namespace {

using testing::FakeFiles;
using testing::FakeHttp;
using testing::FakeProfile;
using testing::FakeWindow;

constexpr std::int64_t kNow = 1700000000;
const std::string kBase = "http://h/ver/checkver.php?app=zerik";
const std::string kDownload = "http://h/Tarnwick.new";
const std::string kUidKey = "Default/UID";
const std::string kRequestKey = "Default/UpdateRequest";
const std::string kExecutable = testing::OwnKindOfExecutable();

// One checker on fakes, for an executable /opt/t/tarnwick started from /home/u.
struct CheckRig {
  FakeHttp http;
  FakeProfile profile;
  FakeWindow window;
  FakeFiles files;
  CUpdateChecker checker{{http, profile, window, files, [] { return kNow; }},
                         "/opt/t/tarnwick",
                         "1.2.1.2",
                         "Tarnwick",
                         4242};

  CheckRig() { profile.values[kUidKey] = 0xAB; }
  std::string PageUrl() const { return kBase + "&uid=AB"; }
  void Reply(const std::string& body) { http.Serve(PageUrl(), body); }
  CheckOutcome Run() {
    EXPECT_TRUE(checker.StartCheck(kBase, "/home/u"));
    checker.WaitForEnd();
    return checker.Outcome();
  }
  bool Downloaded() const { return http.requests.size() > 1; }
};

TEST(UpdateChecker, TheExecutablePathGivesDirectoryAndName) {
  CheckRig rig;
  EXPECT_EQ(rig.checker.m_strDir, "/opt/t/");
  EXPECT_EQ(rig.checker.m_strExeName, "tarnwick");
  std::string dir, name;
  SplitExecutablePath("tarnwick", dir, name);
  EXPECT_EQ(dir, "");
  EXPECT_EQ(name, "tarnwick");
}

TEST(UpdateChecker, AStoredUidGoesIntoTheRequest) {
  CheckRig rig;
  rig.Reply("LastVer;1.2.1.2;0;" + kDownload + ";");
  EXPECT_EQ(rig.Run(), CheckOutcome::kSameVersion);
  EXPECT_EQ(rig.checker.m_strUrl, kBase + "&uid=AB");
  EXPECT_EQ(rig.http.requests, std::vector<std::string>{kBase + "&uid=AB"});
  EXPECT_EQ(rig.http.limitsSeen[0].maxBody, kReplySize);
  EXPECT_TRUE(rig.http.limitsSeen[0].cutBody);
}

TEST(UpdateChecker, AMissingUidIsCreatedFromTheTimeAndStored) {
  CheckRig rig;
  rig.profile.values.clear();
  rig.Run();
  EXPECT_EQ(rig.profile.values[kUidKey], LowTime32(kNow));
  EXPECT_EQ(rig.checker.m_strUrl, kBase + "&uid=6553F100");  // 1700000000
  EXPECT_EQ(rig.profile.writes, std::vector<std::string>{kUidKey});
}

TEST(UpdateChecker, AnEmptyBaseUrlChecksNothing) {
  CheckRig rig;
  rig.profile.values.clear();
  EXPECT_FALSE(rig.checker.StartCheck("", "/home/u"));
  EXPECT_EQ(rig.checker.Outcome(), CheckOutcome::kNotStarted);
  EXPECT_TRUE(rig.profile.writes.empty());
  EXPECT_TRUE(rig.http.requests.empty());
}

TEST(UpdateChecker, RepliesThatEndTheCheckQuietly) {
  const struct {
    const char* reply;  // nullptr: the page cannot be fetched
    CheckOutcome outcome;
  } cases[] = {
      {nullptr, CheckOutcome::kNoReply},
      {"", CheckOutcome::kNotAReply},
      {"<html>LastVer;9;0;http://h/x;", CheckOutcome::kNotAReply},
      {"LastVer;1.2.1.2;0;http://h/x;", CheckOutcome::kSameVersion},
      {"LastVer;1.2.1.2", CheckOutcome::kSameVersion},
      {"LastVer;9;0;ftp://h/x;", CheckOutcome::kNoDownloadUrl},
      {"LastVer;9;1;file:///etc/passwd;", CheckOutcome::kNoDownloadUrl},
      {"LastVer;9;0", CheckOutcome::kNoDownloadUrl},
  };
  for (const auto& c : cases) {
    CheckRig rig;
    if (c.reply != nullptr) rig.Reply(c.reply);
    EXPECT_EQ(rig.Run(), c.outcome) << (c.reply ? c.reply : "no reply");
    EXPECT_TRUE(rig.profile.writes.empty());
    EXPECT_TRUE(rig.window.questions.empty());
    EXPECT_FALSE(rig.Downloaded());
    EXPECT_EQ(rig.window.closeRequests, 0);
  }
}

TEST(UpdateChecker, TheQuestionComesAtMostOnceInThreeDays) {
  for (const std::int64_t age : {std::int64_t{259199}, std::int64_t{259200}}) {
    CheckRig rig;
    rig.Reply("LastVer;1.3.0.0;1;" + kDownload + ";");
    rig.profile.values[kRequestKey] = LowTime32(kNow - age);
    rig.window.answer = UpdateAnswer::kNo;
    const CheckOutcome outcome = rig.Run();
    if (age < kAskInterval) {
      EXPECT_EQ(outcome, CheckOutcome::kAskedRecently);
      EXPECT_TRUE(rig.window.questions.empty());
      EXPECT_TRUE(rig.profile.writes.empty());
    } else {
      EXPECT_EQ(outcome, CheckOutcome::kDeclined);
      ASSERT_EQ(rig.window.questions.size(), 1u);
      EXPECT_EQ(rig.window.questions[0].first, UpdateQuestionText("1.2.1.2", "1.3.0.0"));
      EXPECT_EQ(rig.window.questions[0].second, "Tarnwick");
    }
  }
}

TEST(UpdateChecker, NoIsRememberedAndDownloadsNothing) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;7;" + kDownload + ";");
  rig.window.answer = UpdateAnswer::kNo;
  EXPECT_EQ(rig.Run(), CheckOutcome::kDeclined);
  EXPECT_EQ(rig.profile.values[kRequestKey], LowTime32(kNow));
  EXPECT_FALSE(rig.Downloaded());
  EXPECT_TRUE(rig.files.files.empty());
}

TEST(UpdateChecker, AQuestionTheClosingProgramTookAwayWritesNothing) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;1;" + kDownload + ";");
  rig.window.answer = UpdateAnswer::kClosed;
  EXPECT_EQ(rig.Run(), CheckOutcome::kClosed);
  EXPECT_EQ(rig.profile.writes, std::vector<std::string>{});
  EXPECT_FALSE(rig.Downloaded());
}

TEST(UpdateChecker, StopEndsAnOpenQuestionAsClosed) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;1;" + kDownload + ";");
  rig.window.blockQuestion = true;
  ASSERT_TRUE(rig.checker.StartCheck(kBase, "/home/u"));
  while (rig.window.Asked() == 0) std::this_thread::yield();
  rig.checker.Stop();
  EXPECT_EQ(rig.checker.Outcome(), CheckOutcome::kClosed);
  EXPECT_TRUE(rig.profile.writes.empty());
  EXPECT_FALSE(rig.Downloaded());
}

TEST(UpdateChecker, StopAbortsARunningTransfer) {
  for (const bool duringDownload : {false, true}) {
    CheckRig rig;
    rig.Reply("LastVer;1.3;0;" + kDownload + ";");
    rig.http.blockingUrl = duringDownload ? kDownload : rig.PageUrl();
    ASSERT_TRUE(rig.checker.StartCheck(kBase, "/home/u"));
    rig.http.WaitUntilBlocked();
    rig.checker.Stop();
    EXPECT_EQ(rig.checker.Outcome(), CheckOutcome::kStopped);
    EXPECT_TRUE(rig.files.files.empty());
    EXPECT_EQ(rig.window.closeRequests, 0);
  }
}

TEST(UpdateChecker, AStopDoesNotWaitForAStepThatCannotBeCutShort) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;0;" + kDownload + ";");
  rig.http.Serve(kDownload, kExecutable);
  // The last step of the file blocks, as an fsync of a large file can.
  std::promise<void> entered, released;
  rig.files.onFinish = [&] {
    entered.set_value();
    released.get_future().wait();
  };
  ASSERT_TRUE(rig.checker.StartCheck(kBase, "/home/u"));
  entered.get_future().wait();
  EXPECT_FALSE(rig.checker.StopWithin(std::chrono::milliseconds(1)));
  // When the step ends at last, what it wrote goes and nothing else starts.
  released.set_value();
  rig.checker.Stop();
  EXPECT_EQ(rig.checker.Outcome(), CheckOutcome::kStopped);
  EXPECT_TRUE(rig.files.files.empty());
  EXPECT_TRUE(rig.files.started.empty());
}

TEST(UpdateChecker, ZeroInField3UpdatesWithoutAsking) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;0;" + kDownload + ";");
  rig.http.Serve(kDownload, kExecutable);
  EXPECT_EQ(rig.Run(), CheckOutcome::kUpdating);
  EXPECT_TRUE(rig.window.questions.empty());
  EXPECT_EQ(rig.profile.values[kRequestKey], LowTime32(kNow));
  EXPECT_EQ(rig.http.requests.back(), kDownload);
  EXPECT_EQ(rig.http.limitsSeen.back().maxBody, kMaxDownloadSize);
  EXPECT_EQ(rig.files.files["/opt/t/Updtarnwick"], kExecutable);
  EXPECT_EQ(rig.files.executableModel, "/opt/t/tarnwick");
#ifdef _WIN32
  const std::string script = UpdaterBatchText("tarnwick", "/home/u", "/opt/t/");
#else
  const std::string script = UpdaterShellText("tarnwick", "/home/u", "/opt/t/", 4242);
#endif
  const std::string scriptPath = "/opt/t/" + std::string(UpdaterScriptName());
  EXPECT_EQ(rig.files.files[scriptPath], script);
  EXPECT_EQ(rig.files.started, std::vector<std::string>{scriptPath});
  EXPECT_EQ(rig.window.closeRequests, 1);
}

TEST(UpdateChecker, YesDownloadsAsZeroDoes) {
  CheckRig rig;
  rig.Reply("LastVer;1.3;1;" + kDownload + ";");
  rig.http.Serve(kDownload, kExecutable);
  EXPECT_EQ(rig.Run(), CheckOutcome::kUpdating);
  EXPECT_EQ(rig.window.questions.size(), 1u);
  EXPECT_EQ(rig.profile.values[kRequestKey], LowTime32(kNow));
  EXPECT_EQ(rig.window.closeRequests, 1);
}

TEST(UpdateChecker, FailuresAfterTheReplyLeaveNoFileAndKeepTheProgramOpen) {
  const struct {
    const char* name;
    void (*arrange)(CheckRig&);
    CheckOutcome outcome;
  } cases[] = {
      {"directory not writable", [](CheckRig& r) { r.files.writable = false; },
       CheckOutcome::kDirNotWritable},
      {"download fails", [](CheckRig& r) { r.http.replies.erase(kDownload); },
       CheckOutcome::kDownloadFailed},
      {"wrong magic", [](CheckRig& r) { r.http.Serve(kDownload, "XX" + kExecutable); },
       CheckOutcome::kBadDownload},
      {"short body",
       [](CheckRig& r) {
         r.http.replies[kDownload].contentLength = std::to_string(kExecutable.size() + 1);
       },
       CheckOutcome::kBadDownload},
      {"no length", [](CheckRig& r) { r.http.replies[kDownload].contentLength.reset(); },
       CheckOutcome::kBadDownload},
      {"file fails", [](CheckRig& r) { r.files.executableWorks = false; },
       CheckOutcome::kFileFailed},
      {"script fails", [](CheckRig& r) { r.files.scriptWorks = false; },
       CheckOutcome::kScriptFailed},
      {"start fails", [](CheckRig& r) { r.files.startWorks = false; }, CheckOutcome::kScriptFailed},
  };
  for (const auto& c : cases) {
    CheckRig rig;
    rig.Reply("LastVer;1.3;0;" + kDownload + ";");
    rig.http.Serve(kDownload, kExecutable);
    c.arrange(rig);
    EXPECT_EQ(rig.Run(), c.outcome) << c.name;
    EXPECT_TRUE(rig.files.files.empty()) << c.name;
    EXPECT_FALSE(rig.files.pending) << c.name;
    EXPECT_EQ(rig.window.closeRequests, 0) << c.name;
    if (c.outcome == CheckOutcome::kDirNotWritable) {
      EXPECT_FALSE(rig.Downloaded());
      EXPECT_TRUE(rig.profile.writes.empty());
    }
  }
}

TEST(UpdateChecker, StopBeforeStartKeepsItFromStarting) {
  CheckRig rig;
  rig.checker.Stop();
  EXPECT_FALSE(rig.checker.StartCheck(kBase, "/home/u"));
  EXPECT_TRUE(rig.http.requests.empty());
}

}  // namespace
}  // namespace tarnwick
