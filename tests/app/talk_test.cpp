// Talking to the device from the window, end to end on a pseudo-terminal:
// the send line and its history, a sequence against a device that answers
// (or not), and Disconnect letting go of the port.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/command_table.h"
#include "app_fixture.h"
#include "display/view/zerik_view.h"
#include "port/qt/elided_label.h"
#include "port/qt/port_status_pane.h"
#include "private_profile.h"
#include "transmit/history_file.h"
#include "transmit/qt/macro_panel.h"
#include "transmit/qt/send_center.h"
#include "transmit/qt/send_line_bar.h"
#include "transmit/qt/sequence_driver.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::PrivateProfile;
using testing::WaitFor;

// The device on the far side of the pty: records what it was sent and, when
// asked to, answers each "AT\r" with "OK\r\n".
class Responder {
 public:
  Responder(int master, bool answers) : m_master(master), m_bAnswers(answers) {
    m_thread = std::thread([this] { Run(); });
  }
  ~Responder() {
    m_bStop = true;
    m_thread.join();
  }
  std::string Received() const {
    std::lock_guard<std::mutex> lock(m_cs);
    return m_received;
  }

 private:
  void Run() {
    std::string line;
    while (!m_bStop) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(m_master, buffer, sizeof buffer);
      if (n <= 0) continue;
      std::lock_guard<std::mutex> lock(m_cs);
      m_received.append(buffer, static_cast<std::size_t>(n));
      line.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t cr; (cr = line.find('\r')) != std::string::npos; line.erase(0, cr + 1)) {
        if (m_bAnswers && line.substr(0, cr) == "AT") {
          const char reply[] = "OK\r\n";
          if (::write(m_master, reply, sizeof reply - 1) < 0) break;
        }
      }
    }
  }

  int m_master;
  bool m_bAnswers;
  std::atomic<bool> m_bStop{false};
  mutable std::mutex m_cs;
  std::string m_received;
  std::thread m_thread;
};

CSendCenter& Center(AppFixture& fx) { return *fx.app->SendCenter(); }

// One step typed into the send line and what it must lead to.
struct LineStep {
  const char* what;
  std::function<void(CSendLineBar&)> act;
  std::string device;  // what the device gets from the step
  const char* field;   // the field afterwards
  const char* error;   // beside the field ("": nothing shown)
};

void Type(CSendLineBar& bar, const char* text) {
  QTest::keyClicks(bar.Field(), QString::fromUtf8(text));
  QTest::keyClick(bar.Field(), Qt::Key_Return);
}

TEST(SendLine, EnterSendsUpRecallsAndAParseErrorKeepsTheField) {
  PrivateProfile profile;
  AppFixture fx(true);
  fx.Start();
  ASSERT_TRUE(fx.WaitForPortOpen());
  CSendLineBar& bar = *Center(fx).SendLine();
  EXPECT_TRUE(bar.isVisible()) << "shown from the first start";
  EXPECT_FALSE(bar.Field()->hasFocus()) << "the view has the keys at the start";
  EXPECT_EQ(bar.Field()->accessibleName(), "Send line");
  const auto key = [](Qt::Key k) {
    return [k](CSendLineBar& b) { QTest::keyClick(b.Field(), k); };
  };
  const LineStep steps[] = {
      {"Enter sends ASCII and CR", [](CSendLineBar& b) { Type(b, "AT"); }, "AT\r", "", ""},
      {"another", [](CSendLineBar& b) { Type(b, "ATI"); }, "ATI\r", "", ""},
      {"Up recalls the last", key(Qt::Key_Up), "", "ATI", ""},
      {"Up again the one before", key(Qt::Key_Up), "", "AT", ""},
      {"Down comes back", key(Qt::Key_Down), "", "ATI", ""},
      {"Enter sends what was recalled", key(Qt::Key_Return), "ATI\r", "", ""},
      {"a text the parser refuses stays",
       [](CSendLineBar& b) {
         b.findChild<QComboBox*>(QStringLiteral("sendLineFormat"))->setCurrentIndex(3);  // DEC
         Type(b, "12 128");
       },
       "", "12 128", "Token size greater that limit ! \"128\""},
      {"typing again clears the reason", key(Qt::Key_Backspace), "", "12 12", ""},
      {"the number is sent as bytes", key(Qt::Key_Return), "\x0C\x0C", "", ""},
  };
  for (const LineStep& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(bar);
    if (!step.device.empty()) {
      const std::vector<std::uint8_t> got = fx.Pty().Read(step.device.size(), 5000);
      EXPECT_EQ(std::string(got.begin(), got.end()), step.device);
    }
    EXPECT_EQ(bar.Field()->text().toStdString(), step.field);
    EXPECT_EQ(bar.ErrorLabel()->isVisibleTo(&bar), *step.error != '\0');
    EXPECT_EQ(bar.ErrorLabel()->text().toStdString(), step.error);
  }
  // Nothing more than the steps said reached the device.
  EXPECT_TRUE(fx.Pty().Read(1, 200).empty());
  // What was sent is kept beside the profile, each text once, the latest first.
  SendHistory kept;
  HistoryFile(profile.File().parent_path() / kHistoryFileName).Load(kept);
  std::string texts;
  for (const SendEntry& entry : kept.Entries()) texts += entry.text + ";";
  EXPECT_EQ(texts, "12 12;ATI;AT;");

  // With the focus in the field and nothing selected, Ctrl+C is Copy All.
  ASSERT_TRUE(fx.Pty().Write(std::string("hello\r")));
  // Counted before the screen has it: wait for the screen.
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& line : fx.View().Model().Lines())
      if (line.find("hello") != std::string::npos) return true;
    return false;
  }));
  QApplication::clipboard()->clear();
  fx.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fx.Frame()));
  bar.Field()->setFocus();
  QTest::keyClick(bar.Field(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QApplication::clipboard()->text().contains(QStringLiteral("hello")))
      << QApplication::clipboard()->text().toStdString();
}

// A sequence against a device that answers "AT" with "OK", or stays silent.
// A wait counts only what came after its step began: an "OK" that is on the
// screen already does not answer it.
struct SequenceCase {
  const char* name;
  const char* steps;
  bool answers;
  const char* ended;   // the status bar's word
  const char* device;  // what the device was sent
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

class Sequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(Sequence, RunsAgainstTheDeviceAndSaysHowItEnded) {
  const SequenceCase& c = GetParam();
  PrivateProfile profile;
  profile.SetValue(
      "Options/Macros",
      QString::fromStdString(std::string("tarnwick-macros = 1\nmacro = Check\n") + c.steps));
  AppFixture fx(true);
  fx.Start();
  ASSERT_TRUE(fx.WaitForPortOpen());
  ASSERT_TRUE(fx.Pty().Write(std::string("OK\r\n")));
  ASSERT_TRUE(WaitFor([&] { return fx.Worker().m_nBytesRead.load() == 4; }));
  Responder device(fx.Pty().master(), c.answers);
  QPushButton* button = Center(fx).Macros()->Button("Check");
  ASSERT_NE(button, nullptr);
  button->click();
  ElidedLabel* pane = Center(fx).SequencePane();
  ASSERT_TRUE(WaitFor([&] { return !Center(fx).Sequences()->Running(); }, 8000))
      << pane->FullText().toStdString();
  EXPECT_EQ(pane->FullText().toStdString(), c.ended);
  EXPECT_TRUE(pane->isVisible());
  // The last block was written as the run ended; the device reads it a moment later.
  EXPECT_TRUE(WaitFor([&] { return device.Received() == c.device; }, 3000)) << device.Received();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Sequence,
    ::testing::Values(
        SequenceCase{"ReplyInTime", "send ASCII CR = AT\nwait-for 5 s = OK\nsend ASCII CR = ATI\n",
                     true, "Sequence \"Check\" done", "AT\rATI\r"},
        SequenceCase{"TimeoutStops",
                     "send ASCII CR = AT\nwait-for 300 ms = OK\nsend ASCII CR = ATI\n", false,
                     "Sequence \"Check\" timed out at step 2, wait for \"OK\" (300 ms)", "AT\r"},
        SequenceCase{"TimeoutGoesOn",
                     "send ASCII CR = AT\nwait-for 300 ms continue = OK\nsend ASCII CR = ATI\n",
                     false, "Sequence \"Check\" done; 1 wait timed out", "AT\rATI\r"}),
    [](const auto& info) { return std::string(info.param.name); });

// Whether a program other than this one gets the device for itself now.
bool AnotherProgramGetsIt(const std::string& device) {
  return QProcess::execute(QStringLiteral("flock"),
                           {QStringLiteral("--nonblock"), QStringLiteral("--exclusive"),
                            QString::fromStdString(device), QStringLiteral("true")}) == 0;
}

// Disconnect lets go of the device until Connect: whatever happens
// meanwhile (Port Settings confirmed, a send) opens nothing.
TEST(Connection, DisconnectLetsAnotherProgramHaveTheDeviceUntilConnect) {
  PrivateProfile profile;
  AppFixture fx(true);
  fx.answerDialog = [](QDialog&) { return int(QDialog::Accepted); };
  fx.Start();
  ASSERT_TRUE(fx.WaitForPortOpen());
  ASSERT_FALSE(AnotherProgramGetsIt(fx.Pty().path())) << "the open port is this program's";
  QAction* disconnect = fx.Frame().Action(ID_DISCONNECT);
  QAction* connect = fx.Frame().Action(ID_CONNECT);
  EXPECT_FALSE(connect->isEnabled());
  disconnect->trigger();
  EXPECT_FALSE(disconnect->isEnabled());
  EXPECT_TRUE(connect->isEnabled());
  ElidedLabel* port = fx.Frame().PortPane()->PortLabel();
  ASSERT_TRUE(WaitFor([&] {
    fx.Frame().PortPane()->Refresh();
    return port->FullText().endsWith(QStringLiteral(": Disconnected"));
  })) << port->FullText().toStdString();

  CSendLineBar& bar = *Center(fx).SendLine();
  const struct {
    const char* what;
    std::function<void()> act;
  } meanwhile[] = {
      {"nothing", [] {}},
      {"Port Settings confirmed", [&] { fx.Frame().Action(ID_PORT_SETTINGS)->trigger(); }},
      {"a send line Enter", [&] { Type(bar, "AT"); }},
  };
  for (const auto& step : meanwhile) {
    SCOPED_TRACE(step.what);
    step.act();
    QTest::qWait(100);  // time for a reopen that must not happen
    EXPECT_TRUE(AnotherProgramGetsIt(fx.Pty().path()));
    EXPECT_FALSE(fx.Worker().m_bPortOpen.load());
  }
  EXPECT_EQ(bar.Field()->text(), "AT") << "a text that could not go stays";
  EXPECT_TRUE(bar.ErrorLabel()->text().contains(QStringLiteral("disconnected")));

  connect->trigger();
  ASSERT_TRUE(fx.WaitForPortOpen());
  EXPECT_FALSE(AnotherProgramGetsIt(fx.Pty().path()));
  QTest::keyClick(bar.Field(), Qt::Key_Return);
  const std::vector<std::uint8_t> got = fx.Pty().Read(3, 5000);
  EXPECT_EQ(std::string(got.begin(), got.end()), "AT\r");
}

bool ScreenShows(AppFixture& fx, const std::string& text) {
  for (const auto& line : fx.View().Model().Lines())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// Typing into the view: the keys go to the device as a terminal sends them,
// Ctrl+letter and Esc included; the view's commands keep their Ctrl+Shift
// keys. A large paste asks first.
TEST(TypeIntoView, KeysGoToTheDeviceAndTheViewKeepsItsCtrlShiftKeys) {
  PrivateProfile profile;
  AppFixture fx(true);
  fx.Start();
  ASSERT_TRUE(fx.WaitForPortOpen());
  ASSERT_TRUE(fx.Pty().Write(std::string("hello\r")));
  ASSERT_TRUE(WaitFor([&] { return ScreenShows(fx, "hello"); }));
  // Shortcuts work in the active window only: without it, a key that
  // reached the device instead of a command would prove nothing.
  fx.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fx.Frame()));
  CZerikView& view = fx.View();
  QTest::keyClick(&view, Qt::Key_A);
  EXPECT_TRUE(fx.Pty().Read(1, 200).empty()) << "typing is off at the start";
  QAction* typing = fx.Frame().Action(ID_VIEW_TYPE_INTO_VIEW);
  EXPECT_FALSE(typing->isChecked());
  typing->trigger();
  EXPECT_TRUE(Center(fx).TypingPane()->isVisible());

  const struct {
    const char* what;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::string device;
    bool cleared;  // the view's Clear ran
  } keys[] = {
      {"a letter", Qt::Key_A, Qt::NoModifier, "a", false},
      {"Enter as the send line's line end", Qt::Key_Return, Qt::NoModifier, "\r", false},
      {"Ctrl+C is ETX, not Copy All", Qt::Key_C, Qt::ControlModifier, "\x03", false},
      {"Ctrl+L is FF, not Clear", Qt::Key_L, Qt::ControlModifier, "\x0C", false},
      {"Esc", Qt::Key_Escape, Qt::NoModifier, "\x1B", false},
      {"Up", Qt::Key_Up, Qt::NoModifier, "\x1B[A", false},
      {"Ctrl+Shift+L is Clear", Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier, "", true},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.what);
    QTest::keyClick(&view, k.key, k.modifiers);
    const std::vector<std::uint8_t> got = fx.Pty().Read(k.device.size(), 3000);
    EXPECT_EQ(std::string(got.begin(), got.end()), k.device);
    EXPECT_EQ(ScreenShows(fx, "hello"), !k.cleared);
  }

  QApplication::clipboard()->setText(QString(5000, QLatin1Char('x')));
  fx.boxes.answerYes = false;
  fx.boxes.shown.clear();
  fx.Frame().Action(ID_EDIT_PASTE_TO_DEVICE)->trigger();
  ASSERT_EQ(fx.boxes.shown.size(), 1u);
  EXPECT_EQ(fx.boxes.shown[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(fx.Pty().Read(1, 200).empty()) << "a large paste waits for a yes";
  fx.boxes.answerYes = true;
  fx.Frame().Action(ID_EDIT_PASTE_TO_DEVICE)->trigger();
  EXPECT_EQ(fx.Pty().ReadWhileFlowing(5000, 3000), std::vector<std::uint8_t>(5000, 'x'));
}

// The macro file in and out: a file with an error is refused with its line
// and the macros stay; a good one replaces them, and its buttons send.
TEST(MacroPanel, ImportRefusesABadFileWholeAndAGoodOnesButtonsSend) {
  PrivateProfile profile;
  profile.SetValue("Options/Macros", "tarnwick-macros = 1\nmacro = Old\nsend = old\n");
  AppFixture fx(true);
  fx.Start();
  ASSERT_TRUE(fx.WaitForPortOpen());
  CMacroPanel& panel = *Center(fx).Macros();
  const auto names = [&] {
    std::string text;
    for (const MacroPage& page : panel.Set().pages)
      for (const Macro& macro : page.macros) text += macro.name + ";";
    return text;
  };
  ASSERT_EQ(names(), "Old;");
  const struct {
    const char* what;
    std::string file;
    std::string names;  // the macros afterwards
    std::string box;    // the refusal
  } imports[] = {
      {"an error on line 3", "tarnwick-macros = 1\nmacro = A\nkey = F1\nsend = a\n", "Old;",
       "line 3: F1 is the program's own key"},
      {"a good file", "tarnwick-macros = 1\nmacro = Hi\nkey = Ctrl+F5\nsend ASCII CRLF = hi\n",
       "Hi;", ""},
  };
  for (const auto& import : imports) {
    SCOPED_TRACE(import.what);
    const std::string path = fx.dir.File("import.txt");
    testing::WriteBytes(path, std::vector<unsigned char>(import.file.begin(), import.file.end()));
    fx.chooser.answer = QString::fromStdString(path);
    fx.boxes.shown.clear();
    panel.ImportFile();
    EXPECT_EQ(names(), import.names);
    std::string refusal;
    for (const auto& box : fx.boxes.shown)
      if (box.caption == "Import Macros" && box.icon == MessageIcon::kError) refusal = box.text;
    EXPECT_EQ(refusal.empty(), import.box.empty()) << refusal;
    EXPECT_NE(refusal.find(import.box), std::string::npos) << refusal;
  }
  // What is there is kept in the profile, and its button and key send.
  EXPECT_TRUE(profile.Value("Options/Macros").toString().contains(QStringLiteral("macro = Hi")));
  panel.Button("Hi")->click();
  std::vector<std::uint8_t> got = fx.Pty().Read(4, 3000);
  EXPECT_EQ(std::string(got.begin(), got.end()), "hi\r\n");
  fx.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fx.Frame()));
  QTest::keyClick(&fx.View(), Qt::Key_F5, Qt::ControlModifier);
  got = fx.Pty().Read(4, 3000);
  EXPECT_EQ(std::string(got.begin(), got.end()), "hi\r\n");
}

}  // namespace
}  // namespace tarnwick
