// The Qt side of the version check: the QSettings profile, the question asked
// on the user-interface thread while the check thread waits, and the
// application that wires them to its boxes and its main window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <atomic>
#include <ctime>
#include <future>
#include <thread>

#include "app/app_fixture.h"
#include "app/private_profile.h"
#include "app/zerik_app.h"
#include "port/scoped_env.h"
#include "support/temp_dir.h"
#include "update/loopback_server.h"
#include "update/qt/qt_update_profile.h"
#include "update/qt/qt_update_window.h"
#include "update/update_rules.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::LoopbackServer;
using testing::PrivateProfile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WaitFor;

// Boxes that note the thread they were shown on and answer as told.
class ThreadBoxes : public MessageBoxes {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons) override {
    shown.push_back({std::string(text), std::string(caption), icon, buttons});
    threads.push_back(std::this_thread::get_id());
    return onShow ? onShow() : answer;
  }
  std::vector<testing::ShownBox> shown;
  std::vector<std::thread::id> threads;
  MessageResult answer = MessageResult::kNo;
  std::function<MessageResult()> onShow;
};

TEST(QtUpdateProfile, KeepsSigned32BitValuesInTheDefaultSection) {
  PrivateProfile profile;
  QtUpdateProfile values;
  EXPECT_EQ(values.GetProfileInt("Default", "UID", 0), 0);
  EXPECT_EQ(values.GetProfileInt("Default", "UID", 7), 7);
  values.WriteProfileInt("Default", "UID", 0xAB);
  values.WriteProfileInt("Default", "UpdateRequest", -5);
  EXPECT_EQ(values.GetProfileInt("Default", "UID", 0), 0xAB);
  EXPECT_EQ(values.GetProfileInt("Default", "UpdateRequest", 0), -5);
  const std::vector<unsigned char> bytes = testing::ReadBytes(profile.File().string());
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("[Default]\nUID=171\nUpdateRequest=-5\n"), std::string::npos) << text;
  // What is not a 32-bit integer reads as the default.
  QSettings(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"))
      .setValue("Default/UID", QStringLiteral("abc"));
  EXPECT_EQ(values.GetProfileInt("Default", "UID", 3), 3);
  QSettings(QStringLiteral("Norvast"), QStringLiteral("Tarnwick"))
      .setValue("Default/UID", QStringLiteral("4294967296"));
  EXPECT_EQ(values.GetProfileInt("Default", "UID", 3), 3);
}

struct WindowRig {
  QObject gui;
  ThreadBoxes boxes;
  bool closing = false;
  int closes = 0;
  QtUpdateWindow window{&gui, boxes, [this] { ++closes; }, [this] { return closing; }};

  std::future<UpdateAnswer> Ask() {
    return std::async(std::launch::async,
                      [this] { return window.AskUpdate("Update?", "Tarnwick"); });
  }
  // Processes events until the answer is there.
  UpdateAnswer Answer(std::future<UpdateAnswer>& answer) {
    EXPECT_TRUE(WaitFor([&] {
      return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    }));
    return answer.get();
  }
};

TEST(QtUpdateWindow, AsksOnTheGuiThreadWhileTheCheckThreadWaits) {
  for (const auto& [button, expected] : {std::pair{MessageResult::kYes, UpdateAnswer::kYes},
                                         std::pair{MessageResult::kNo, UpdateAnswer::kNo}}) {
    WindowRig rig;
    rig.boxes.answer = button;
    auto answer = rig.Ask();
    EXPECT_EQ(rig.Answer(answer), expected);
    ASSERT_EQ(rig.boxes.shown.size(), 1u);
    EXPECT_EQ(rig.boxes.shown[0].text, "Update?");
    EXPECT_EQ(rig.boxes.shown[0].caption, "Tarnwick");
    EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::kQuestion);
    EXPECT_EQ(rig.boxes.shown[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(rig.boxes.threads[0], std::this_thread::get_id());
  }
}

TEST(QtUpdateWindow, AQuestionTheClosingProgramTakesAwayIsNoAnswer) {
  WindowRig rig;
  // The close arrives while the box is open and closes it.
  rig.boxes.onShow = [&rig] {
    rig.closing = true;
    return MessageResult::kNo;
  };
  auto answer = rig.Ask();
  EXPECT_EQ(rig.Answer(answer), UpdateAnswer::kClosed);

  // Once closing, no box is shown at all.
  auto later = rig.Ask();
  EXPECT_EQ(rig.Answer(later), UpdateAnswer::kClosed);
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
}

TEST(QtUpdateWindow, CancelEndsTheWaitAndTheQueuedQuestionIsDropped) {
  WindowRig rig;
  auto answer = rig.Ask();
  // The question is queued but the event loop has not run it yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  rig.window.Cancel();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(answer.get(), UpdateAnswer::kClosed);
  QCoreApplication::processEvents();
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_EQ(rig.window.AskUpdate("again", "Tarnwick"), UpdateAnswer::kClosed);
}

TEST(QtUpdateWindow, TheCloseRequestRunsOnTheGuiThread) {
  WindowRig rig;
  std::thread([&rig] { rig.window.CloseMainWindow(); }).join();
  EXPECT_EQ(rig.closes, 0);
  EXPECT_TRUE(WaitFor([&rig] { return rig.closes == 1; }));
}

// The application with a check page on loopback and its profile in a
// temporary directory; boxes answers the question.
class AppCheck {
 public:
  explicit AppCheck(const std::string& reply)
      : server(R"({"/ver/checkver.php": [{"body": ")" + reply + R"("}]})"),
        url("TARNWICK_UPDATE_URL", server.Base() + "/ver/checkver.php?app=zerik") {
    fixture.WriteConfig(DefaultSettings());
    fixture.app = std::make_unique<CZerikApp>(CreatePlatformSerialBackend(), boxes);
  }

  ThreadBoxes boxes;  // outlives the application
  PrivateProfile profile;
  LoopbackServer server;
  ScopedEnv url;
  AppFixture fixture{false};
};

TEST(AppUpdateCheck, TheQuestionComesThroughTheApplicationsBoxesAndNoIsRemembered) {
  AppCheck check("LastVer;1.3.0.0;1;{base}/new;");
  ASSERT_TRUE(check.server.ok());
  const std::int64_t before = std::time(nullptr);
  check.fixture.app->InitInstance();
  ASSERT_TRUE(WaitFor([&] { return check.boxes.shown.size() == 1; }, 20000));
  EXPECT_EQ(check.boxes.shown[0].text, UpdateQuestionText("1.2.1.2", "1.3.0.0"));
  EXPECT_EQ(check.boxes.shown[0].caption, "Tarnwick");
  EXPECT_EQ(check.boxes.threads[0], std::this_thread::get_id());
  // The answer reaches the check thread, which notes it, before the exit
  // could take the question away.
  ASSERT_TRUE(WaitFor(
      [&] { return check.fixture.app->UpdateCheckOutcome() == CheckOutcome::kDeclined; }, 20000));
  check.fixture.app->ExitInstance();

  const qint64 uid = check.profile.Value("Default/UID").toLongLong();
  EXPECT_GE(uid, LowTime32(before));
  const qint64 answered = check.profile.Value("Default/UpdateRequest").toLongLong();
  EXPECT_GE(answered, LowTime32(before));
  EXPECT_LE(answered, LowTime32(std::time(nullptr)));
  EXPECT_EQ(check.server.Requests().size(), 1u);  // nothing downloaded
}

TEST(AppUpdateCheck, ClosingTheProgramWhileTheQuestionIsOpenWritesAndDownloadsNothing) {
  AppCheck check("LastVer;1.3.0.0;1;{base}/new;");
  ASSERT_TRUE(check.server.ok());
  check.boxes.onShow = [&check] {
    check.fixture.app->CloseMainWindow();
    return MessageResult::kNo;
  };
  check.fixture.app->InitInstance();
  ASSERT_TRUE(WaitFor([&] { return !check.fixture.Frame().isVisible(); }, 20000));
  check.fixture.app->ExitInstance();
  EXPECT_EQ(check.boxes.shown.size(), 1u);
  EXPECT_TRUE(check.profile.Value("Default/UID").isValid());
  EXPECT_FALSE(check.profile.Value("Default/UpdateRequest").isValid());
  EXPECT_EQ(check.server.Requests().size(), 1u);
}

TEST(AppUpdateCheck, WithoutAPageNothingIsAskedOrStored) {
  AppCheck check("LastVer;1.3.0.0;1;{base}/new;");
  const ScopedEnv off("TARNWICK_UPDATE_URL", "");
  check.fixture.app->InitInstance();
  check.fixture.app->ExitInstance();
  EXPECT_TRUE(check.boxes.shown.empty());
  EXPECT_FALSE(check.profile.Value("Default/UID").isValid());
  EXPECT_TRUE(check.server.Requests().empty());
}

}  // namespace
}  // namespace tarnwick
