// The Port settings command and the first start, in the running application
// on a pseudo-terminal: what OK and Cancel change in the record, on the line
// seen from the far side, on the screen and in the caption; and a flood of
// bytes through many OK presses.
#include <gtest/gtest.h>
#include <termios.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "app/logging_settings.h"
#include "dialogs/qt/star_dialog.h"
#include "port/termios2_probe.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::ReadBytes;
using testing::WaitFor;

template <class T>
T* Control(QDialog& dialog, const QString& accessibleName) {
  for (T* widget : dialog.findChildren<T*>()) {
    if (widget->accessibleName() == accessibleName) return widget;
  }
  return nullptr;
}

QComboBox& List(QDialog& dialog, const char* name) {
  QComboBox* list = Control<QComboBox>(dialog, QString::fromLatin1(name));
  if (list == nullptr) throw std::runtime_error(std::string("no list ") + name);
  return *list;
}

int Press(QDialog& dialog, const char* button) {
  Control<QPushButton>(dialog, QString::fromLatin1(button))->click();
  return dialog.result();
}

// The line as the far side of the pseudo-terminal sees it (a pseudo-terminal
// keeps no parity enable bit, but it keeps the odd-parity one).
bool FarSideRuns(testing::PseudoTerminal& pty, std::uint32_t rate, bool oddParity) {
  struct termios tio {};
  if (::tcgetattr(pty.master(), &tio) != 0 || ((tio.c_cflag & PARODD) != 0) != oddParity) {
    return false;
  }
#ifdef TARNWICK_HAVE_TERMIOS2
  std::uint32_t input = 0, output = 0;
  return testing::ReadLineSpeeds(pty.master(), &input, &output) && input == rate && output == rate;
#else
  return rate != 0;
#endif
}

// The caption as a screen reader reads it.
std::string Caption(AppFixture& fixture) {
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&fixture.Frame());
  return window != nullptr ? window->text(QAccessible::Name).toStdString() : std::string();
}

TEST(FirstStart, AsksForThePortSettingsOnTheDefaultsBeforeTheWorkerStarts) {
  const struct {
    const char* name;
    bool configIsDirectory;  // else there is no configuration file at all
    bool ok;
  } cases[] = {{"no file, OK", false, true},
               {"no file, Cancel", false, false},
               {"a directory in its place, OK", true, true}};
  for (const auto& c : cases) {
    AppFixture fixture(true);
    if (c.configIsDirectory) std::filesystem::create_directory(fixture.dir.File("Tarnwick.cfg"));
    bool workerBefore = true;
    std::vector<int> shown;
    fixture.answerDialog = [&](QDialog& dialog) {
      workerBefore = fixture.app->Worker() != nullptr || fixture.app->MainFrame() != nullptr;
      for (const char* name : {"Port", "Baud rate", "Parity", "Data bits", "Stop bits"}) {
        shown.push_back(List(dialog, name).currentIndex());
      }
      List(dialog, "Baud rate").setCurrentIndex(12);  // 115200
      List(dialog, "Parity").setCurrentIndex(4);      // ODD
      return Press(dialog, c.ok ? "OK" : "Cancel");
    };
    fixture.Start();

    ASSERT_EQ(fixture.boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(fixture.boxes.shown[0].text, "Configuration file not found !") << c.name;
    EXPECT_EQ(fixture.dialogsRun, (std::vector<QString>{"Port Settings"})) << c.name;
    EXPECT_FALSE(workerBefore) << c.name;
    EXPECT_EQ(shown, (std::vector<int>{0, 6, 0, 3, 0})) << c.name;
    // Whatever the answer, the program goes on, with what the dialog stored.
    EXPECT_EQ(fixture.app->m_Settings.nBaudIndex, c.ok ? 12 : 6) << c.name;
    EXPECT_NE(Caption(fixture).find(c.ok ? ";115200;" : ";9600;"), std::string::npos) << c.name;
    ASSERT_TRUE(fixture.WaitForPortOpen()) << c.name;
    EXPECT_TRUE(WaitFor([&] { return FarSideRuns(fixture.Pty(), c.ok ? 115200u : 9600u, c.ok); }))
        << c.name;
  }
}

TEST(FirstStart, NoDialogWhenTheConfigurationLoads) {
  AppFixture fixture(false);
  fixture.WriteConfig(DefaultSettings());
  fixture.Start();
  EXPECT_TRUE(fixture.dialogsRun.empty());
  EXPECT_TRUE(fixture.boxes.shown.empty());
}

// OK on the toolbar's first button: the port is reopened with the new
// settings, the screen and the counters are cleared, the caption follows.
TEST(PortSettingsCommand, OkReopensTheLineClearsTheScreenAndRebuildsTheCaption) {
  AppFixture fixture(true);
  fixture.WriteConfig(testing::HexLoggingSettings(fixture.dir, false, false));
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{1, 2, 3}));
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 3; }));
  ASSERT_FALSE(fixture.View().Model().Lines().empty());

  fixture.answerDialog = [](QDialog& dialog) {
    List(dialog, "Baud rate").setCurrentIndex(12);
    List(dialog, "Parity").setCurrentIndex(4);  // ODD
    return Press(dialog, "OK");
  };
  QWidget* button =
      fixture.Frame().ToolBar()->widgetForAction(fixture.Frame().Action(ID_PORT_SETTINGS));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);

  EXPECT_EQ(fixture.dialogsRun, (std::vector<QString>{"Port Settings"}));
  EXPECT_TRUE(fixture.View().Model().Lines().empty());
  EXPECT_EQ(fixture.Worker().m_nBytesRead.load(), 0);
  EXPECT_EQ(Caption(fixture),
            "COM1;115200;8 bits;1 stop;PARITY=ODD;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no - "
            "Tarnwick");
  EXPECT_TRUE(WaitFor([&] { return FarSideRuns(fixture.Pty(), 115200u, true); }));
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{4}));
  EXPECT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 1; }));
}

// Cancel: no reopen, no clear, the caption stays; only what the "Save to
// file: " click wrote stays, and it works at once.
TEST(PortSettingsCommand, CancelKeepsEverythingButTheCaptureChoice) {
  AppFixture fixture(true);
  const SETTINGS settings = testing::HexLoggingSettings(fixture.dir, false, false);
  fixture.WriteConfig(settings);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{1, 2, 3}));
  ASSERT_TRUE(WaitFor([&] { return fixture.Worker().m_nBytesRead.load() == 3; }));
  const SerialDevice* device = fixture.Worker().Line().Device();
  const std::string caption = Caption(fixture);
  const std::string capture = fixture.dir.File("capture.bin");

  fixture.chooser.answer = QString::fromStdString(capture);
  fixture.answerDialog = [](QDialog& dialog) {
    List(dialog, "Baud rate").setCurrentIndex(12);
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
      if (box->accessibleName().startsWith("Save to file: ")) box->click();
    }
    return Press(dialog, "Cancel");
  };
  fixture.Frame().Action(ID_PORT_SETTINGS)->trigger();

  EXPECT_EQ(fixture.app->m_Settings.nBaudIndex, 6);
  EXPECT_EQ(fixture.app->m_Settings.bSaveRaw, 1);
  EXPECT_EQ(std::string(fixture.app->m_Settings.szRawFile), capture);
  EXPECT_EQ(Caption(fixture), caption);
  EXPECT_EQ(fixture.Worker().m_nBytesRead.load(), 3);
  EXPECT_EQ(fixture.View().Model().Lines().size(), 1u);
  EXPECT_FALSE(fixture.Worker().m_bReopenPort.load());
  EXPECT_EQ(fixture.Worker().Line().Device(), device);

  ASSERT_TRUE(fixture.Pty().Write(std::vector<std::uint8_t>{0xC0, 0xFF, 0xEE}));
  EXPECT_TRUE(WaitFor([&] { return ReadBytes(capture).size() == 3; }));
  EXPECT_EQ(ReadBytes(capture), (std::vector<unsigned char>{0xC0, 0xFF, 0xEE}));
}

// Many OK presses while bytes pour in: every reopen and clear leaves the raw
// log holding each byte once, in order, and nothing hangs.
TEST(PortSettingsCommand, RapidOkPressesDuringAFloodLoseAndDoubleNoByte) {
  AppFixture fixture(true);
  fixture.WriteConfig(testing::HexLoggingSettings(fixture.dir, true, false));
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  fixture.answerDialog = [](QDialog& dialog) { return Press(dialog, "OK"); };

  auto pattern = [](std::size_t i) { return static_cast<std::uint8_t>(i * 7 + i / 251); };
  std::atomic<bool> sending{true};
  std::atomic<std::size_t> sent{0};
  std::thread sender([&] {
    std::vector<std::uint8_t> chunk(1000);
    while (sending.load()) {
      const std::size_t from = sent.load();
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = pattern(from + i);
      if (!fixture.Pty().Write(chunk)) break;
      sent.store(from + chunk.size());
    }
  });
  ASSERT_TRUE(WaitFor([&] { return sent.load() > 5000; }));
  for (int press = 0; press < 40; ++press) {
    fixture.Frame().Action(ID_PORT_SETTINGS)->trigger();
    QTest::qWait(2);
  }
  sending.store(false);
  sender.join();

  EXPECT_EQ(fixture.dialogsRun.size(), 40u);
  const std::string raw = fixture.dir.File("raw.log");
  EXPECT_TRUE(WaitFor([&] { return ReadBytes(raw).size() >= sent.load(); }, 20000));
  const std::vector<unsigned char> logged = ReadBytes(raw);
  ASSERT_EQ(logged.size(), sent.load());
  std::size_t firstWrong = logged.size();
  for (std::size_t i = 0; i < logged.size() && firstWrong == logged.size(); ++i) {
    if (logged[i] != pattern(i)) firstWrong = i;
  }
  EXPECT_EQ(firstWrong, logged.size());
}

}  // namespace
}  // namespace tarnwick
