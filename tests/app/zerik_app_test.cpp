#include "app/zerik_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/about_dlg.h"
#include "app/command_table.h"
#include "app_fixture.h"
#include "logging_settings.h"
#include "port/qt/elided_label.h"
#include "port/qt/port_status_pane.h"
#include "port/scoped_env.h"
#include "support/pseudo_terminal.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::ReadBytes;
using testing::WaitFor;

TEST(ZerikApp, FirstStartWarnsAndOpensWithTheDefaults) {
  AppFixture fixture(false);
  fixture.Start();
  ASSERT_EQ(fixture.boxes.shown.size(), 1u);
  EXPECT_EQ(fixture.boxes.shown[0].text, "Configuration file not found !");
  EXPECT_EQ(fixture.boxes.shown[0].caption, "Tarnwick initialization");
  EXPECT_EQ(fixture.boxes.shown[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(testing::RecordBytes(fixture.app->m_Settings), testing::RecordBytes(DefaultSettings()));
  EXPECT_TRUE(fixture.Frame().isVisible());
  EXPECT_EQ(fixture.app->m_szStartDir, fixture.dir.path().string());

  // Exit asks nothing and leaves a default configuration behind.
  fixture.Frame().Action(ID_APP_EXIT)->trigger();
  EXPECT_FALSE(fixture.Frame().isVisible());
  fixture.app->ExitInstance();
  EXPECT_EQ(fixture.boxes.shown.size(), 1u);
  EXPECT_EQ(ReadBytes(fixture.dir.File("Tarnwick.cfg")), testing::RecordBytes(DefaultSettings()));
}

TEST(ZerikApp, LoadsTheConfigurationOfTheStartDirectory) {
  AppFixture fixture(false);
  SETTINGS settings = DefaultSettings();
  settings.nBaudIndex = 12;
  settings.dwReserved[2] = 0x5A;
  fixture.WriteConfig(settings);
  fixture.Start();
  EXPECT_TRUE(fixture.boxes.shown.empty());
  EXPECT_EQ(fixture.app->m_Settings.nBaudIndex, 12);
  EXPECT_NE(fixture.app->m_strLineSummary.find(";115200;"), std::string::npos);
}

// The command line's settings are the run's: the window runs with them and
// names them in its caption, and its exit leaves Tarnwick.cfg as it was.
TEST(ZerikApp, TheCommandLinesSettingsAreNotSaved) {
  AppFixture fixture(true);
  const SETTINGS settings = testing::HexLoggingSettings(fixture.dir, false, false);
  fixture.WriteConfig(settings);
  fixture.run.strDevice = fixture.Pty().path();
  fixture.run.nBaud = 9600;
  fixture.run.nUnitFormatIndex = kFormatDec;
  ::unsetenv("TARNWICK_COM1");  // the run's device alone leads to the pty
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  EXPECT_TRUE(fixture.boxes.shown.empty());
  EXPECT_EQ(fixture.app->m_Settings.nUnitFormatIndex, kFormatDec);
  EXPECT_EQ(fixture.app->m_strLineSummary.rfind("COM1;9600;", 0), 0u);

  fixture.Frame().close();
  fixture.app->ExitInstance();
  EXPECT_EQ(ReadBytes(fixture.dir.File("Tarnwick.cfg")), testing::RecordBytes(settings));
}

// Closing the window stops the worker with the view and leaves the port to
// the exit step; the line being filled reaches the text log.
TEST(ZerikApp, ShutdownStopsTheWorkerThenSavesAndClosesThePort) {
  AppFixture fixture(true);
  const SETTINGS settings = testing::HexLoggingSettings(fixture.dir, false, true);
  const std::string log = fixture.dir.File("text.log");
  fixture.WriteConfig(settings);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{0xAB, 0xCD}));
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 2; }));
  EXPECT_FALSE(std::filesystem::exists(log) && !ReadBytes(log).empty());

  fixture.Frame().close();
  EXPECT_EQ(fixture.Worker().m_pView.load(), nullptr);   // stopped and joined
  EXPECT_NE(fixture.Worker().Line().Device(), nullptr);  // the port is still open
  EXPECT_EQ(fixture.app->m_pView, nullptr);
  EXPECT_EQ(ReadBytes(log), (std::vector<unsigned char>{' ', 'A', 'B', ' ', 'C', 'D'}));

  std::filesystem::remove(fixture.dir.File("Tarnwick.cfg"));
  fixture.app->ExitInstance();
  EXPECT_EQ(fixture.Worker().Line().Device(), nullptr);
  EXPECT_EQ(ReadBytes(fixture.dir.File("Tarnwick.cfg")), testing::RecordBytes(settings));
  EXPECT_TRUE(fixture.boxes.shown.empty());
}

// Bytes arriving while the window closes are logged raw; stopping the worker
// before the final clear puts every one of them in the text log as well.
TEST(ZerikApp, EveryByteReadBeforeShutdownReachesTheTextLog) {
  AppFixture fixture(true);
  const SETTINGS settings = testing::HexLoggingSettings(fixture.dir, true, true);
  const std::string textLog = fixture.dir.File("text.log");
  const std::string rawLog = fixture.dir.File("raw.log");
  fixture.WriteConfig(settings);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());

  std::atomic<bool> sending{true};
  std::thread sender([&] {
    const std::vector<std::uint8_t> chunk(4096, 0x5A);
    while (sending.load()) fixture.Pty().Write(chunk);
  });
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() > 2000; }));
  fixture.Frame().close();
  sending.store(false);
  sender.join();

  const std::size_t raw = ReadBytes(rawLog).size();
  EXPECT_GT(raw, 2000u);
  EXPECT_EQ(ReadBytes(textLog).size(), 3 * raw);  // " 5A" per byte
}

// F1 takes the start directory's page first, then the installed one, then
// the one beside the executable, looking when pressed; without any page it is
// silent; when no browser starts, a box names the file.
TEST(ZerikApp, HelpLooksInTheStartDirectoryThenTheDataDirectoryThenBesideTheProgram) {
  struct Row {
    std::vector<std::string> pagesIn;  // "" the start directory, else a folder of helpDirs
    const char* opened;                // null: nothing
    bool browserStarts;
  };
  const Row rows[] = {
      {{}, nullptr, true},    {{"", "share", "bin"}, "", true}, {{"share", "bin"}, "share", true},
      {{"bin"}, "bin", true}, {{"share"}, "share", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pagesIn.size());
    AppFixture fixture(false);
    fixture.browserStarts = row.browserStarts;
    fixture.Start();
    // Written after the start: the pages are looked for when F1 is pressed.
    for (const std::string& folder : row.pagesIn) {
      std::filesystem::create_directories(fixture.dir.path() / folder);
      testing::WriteBytes((fixture.dir.path() / folder / "help.html").string(), {'<', 'p', '>'});
    }
    fixture.Frame().Action(ID_HELP_TARNWICK)->trigger();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The first start's warning, then the box of a browser that did not start.
    ASSERT_EQ(fixture.boxes.shown.size(), row.browserStarts ? 1u : 2u);
    if (row.opened == nullptr) {
      EXPECT_TRUE(fixture.openedUrls.empty());
      continue;
    }
    const std::string expected = (fixture.dir.path() / row.opened / "help.html").string();
    ASSERT_EQ(fixture.openedUrls.size(), 1u);
    EXPECT_EQ(fixture.openedUrls[0], QUrl::fromLocalFile(QString::fromStdString(expected)));
    if (!row.browserStarts) {
      EXPECT_NE(fixture.boxes.shown[1].text.find(expected), std::string::npos);
    }
  }
}

// The second port's state is in the status bar beside the first port's, in
// the same colours. An outage is told there; only with the status bar hidden
// does it get a box, one for the whole outage however often the port is
// looked for meanwhile.
TEST(ZerikApp, SecondPortStateIsInTheStatusBarAndAnOutageGetsOneBoxAtMost) {
  for (const bool barShown : {true, false}) {
    SCOPED_TRACE(barShown);
    AppFixture fixture(true);
    fixture.WriteConfig(DefaultSettings());
    // COM2 is a link, so the port can come back as another pseudo-terminal.
    const std::string link = fixture.dir.File("second");
    auto second = std::make_unique<testing::PseudoTerminal>();
    std::filesystem::create_symlink(second->path(), link);
    testing::ScopedEnv com2("TARNWICK_COM2", link);
    fixture.Start();
    ASSERT_TRUE(fixture.WaitForPortOpen());
    fixture.Frame().Action(ID_VIEW_STATUS_BAR)->setChecked(barShown);
    fixture.app->m_Conversation.strAlsoListenOn = "COM2";
    fixture.app->ApplyConversation();
    const ElidedLabel* pane = fixture.Frame().PortPane()->SecondLabel();
    const std::string name = "Listening on COM2 " + link;
    const auto unplug = [&] {
      second->CloseKeeper();
      second->CloseMaster();
    };
    const struct {
      const char* step;
      std::function<void()> act;
      PortState state;
      std::string text;
      std::size_t boxes;  // since the start
    } steps[] = {
        {"open", [] {}, PortState::kOpen, name, 0},
        {"lost", unplug, PortState::kLost, name + ": Port LOST !Input/output error",
         barShown ? 0u : 1u},
        {"back",
         [&] {
           second = std::make_unique<testing::PseudoTerminal>();
           std::filesystem::remove(link);
           std::filesystem::create_symlink(second->path(), link);
         },
         PortState::kOpen, name, barShown ? 0u : 1u},
        {"lost again", unplug, PortState::kLost, name + ": Port LOST !Input/output error",
         barShown ? 0u : 2u},
    };
    for (const auto& s : steps) {
      s.act();
      EXPECT_TRUE(WaitFor([&] {
        return pane->isVisibleTo(fixture.Frame().statusBar()) &&
               pane->FullText().toStdString() == s.text &&
               pane->palette().color(QPalette::Window) == PortStatusPane::StateColor(s.state) &&
               fixture.boxes.shown.size() == s.boxes;
      })) << s.step
          << ": " << pane->FullText().toStdString() << ", " << fixture.boxes.shown.size()
          << " boxes";
    }
    if (!barShown) {
      EXPECT_EQ(fixture.boxes.shown[0].text, "Also listen on COM2: Port LOST !Input/output error");
    }
  }
}

TEST(ZerikApp, AboutShowsCaptionVersionAndNotice) {
  AppFixture fixture(false);
  fixture.Start();
  QString caption;
  QStringList texts;
  bool hasIcon = false;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    caption = box->windowTitle();
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (!label->pixmap().isNull()) hasIcon = true;
      if (!label->text().isEmpty()) texts << label->text();
    }
    box->close();
  });
  fixture.Frame().Action(ID_APP_ABOUT)->trigger();
  EXPECT_EQ(caption, "About Zerik");
  EXPECT_TRUE(hasIcon);
  EXPECT_TRUE(texts.contains("Tarnwick Version 1.2"));
  // The notice says under which licence the program may be passed on.
  EXPECT_TRUE(texts.join(' ').contains("GNU General Public License, version 3 or later"));
  EXPECT_EQ(texts.size(), 2);
}

}  // namespace
}  // namespace tarnwick
