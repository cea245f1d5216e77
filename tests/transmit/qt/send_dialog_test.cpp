// The Send data window of the running application, with its worker on a
// real pseudo-terminal: what the controls send is read back on the far side.
#include "transmit/qt/send_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "dialogs/qt/file_chooser.h"

namespace tarnwick::testing {
namespace {

// Answers the "..." button with a fixed path and remembers how it was asked.
class ScriptedChooser : public FileChooser {
 public:
  std::optional<QString> ChooseFile(QWidget*, const QString&, bool mustExist) override {
    ++asked;
    askedMustExist = mustExist;
    return answer;
  }
  std::optional<QString> answer;
  int asked = 0;
  bool askedMustExist = false;
};

// Types text as a keyboard would, one key event per character, also for
// characters that have no key of their own.
void Type(QWidget& widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(&widget, &press);
    QApplication::sendEvent(&widget, &release);
  }
}

class SendDialogOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    m_app.Start();
    ASSERT_TRUE(m_app.WaitForPortOpen());
    m_app.boxes.shown.clear();  // the first start's missing configuration
    OpenWindow();
    ASSERT_NE(m_pDialog, nullptr);
    m_pDialog->SetFileChooser(m_chooser);
  }

  // Main menu "Send": the one dialog, shown.
  void OpenWindow() {
    m_app.Frame().Action(ID_SEND)->trigger();
    m_pDialog = m_app.app->SendDialog();
  }

  template <class T>
  T& Control(const char* name) {
    T* control = m_pDialog->findChild<T*>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return *control;
  }
  QPushButton& SendButton() { return Control<QPushButton>("sendButton"); }
  QPlainTextEdit& TextBox() { return Control<QPlainTextEdit>("textBox"); }
  QProgressBar& Progress() { return Control<QProgressBar>("progressBar"); }
  QLineEdit& CountEdit() { return Control<QLineEdit>("transmitCountEdit"); }
  QLineEdit& PeriodEdit() { return Control<QLineEdit>("periodEdit"); }

  bool WaitForLabel(const char* label, int timeoutMs = 5000) {
    return WaitFor([&] { return SendButton().text() == QLatin1String(label); }, timeoutMs);
  }
  std::int32_t Written() { return m_app.Worker().m_nBytesWritten.load(); }
  // Blocks this thread, so the dialog's timers wait meanwhile.
  std::string ReadFar(std::size_t count) {
    const std::vector<std::uint8_t> bytes = m_app.Pty().Read(count, 5000);
    return std::string(bytes.begin(), bytes.end());
  }
  // Periodic mode with a period and a count, ticked as a user does.
  void Periodic(const QString& period, const QString& count) {
    QTest::mouseClick(&Control<QCheckBox>("periodicCheck"), Qt::LeftButton);
    PeriodEdit().setText(period);
    CountEdit().setText(count);
  }
  // The far side has stopped reading: waits until the Write count stays put,
  // the line holding the rest of the block.
  // Counted in time, not in polls: on a loaded machine the worker may sit out
  // many polls while the line is still taking bytes.
  std::int32_t WaitUntilHeld() {
    std::int32_t last = -1;
    QElapsedTimer still;
    EXPECT_TRUE(WaitFor(
        [&] {
          const std::int32_t now = Written();
          if (now != last) still.start();
          last = now;
          return now > 0 && still.elapsed() >= 500;
        },
        20000));
    return last;
  }

  AppFixture m_app{true};
  ScriptedChooser m_chooser;
  CSendDialog* m_pDialog = nullptr;
};

TEST_F(SendDialogOnPty, SingleSendArrivesExactlyWithCrLfAndCountsIt) {
  EXPECT_EQ(m_pDialog->windowTitle(), QStringLiteral("Send data"));
  EXPECT_EQ(m_pDialog->focusWidget(), &SendButton());
  TextBox().setFocus();
  Type(TextBox(), QStringLiteral("AB"));
  QTest::keyClick(&TextBox(), Qt::Key_Return);  // a line break, not SEND
  Type(TextBox(), QStringLiteral("C\u00e9\u20ac"));
  EXPECT_EQ(Written(), 0);

  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  EXPECT_EQ(SendButton().text(), QStringLiteral("ABORT"));
  EXPECT_EQ(Progress().maximum(), 7);
  EXPECT_EQ(ReadFar(7), std::string("AB\r\nC\xE9\x80"));
  ASSERT_TRUE(WaitForLabel("SEND"));
  EXPECT_EQ(Written(), 7);
  EXPECT_EQ(m_app.View().HeaderText(), QStringLiteral("Bytes Read 0 / Write 7"));
  EXPECT_EQ(Progress().value(), 0);
  EXPECT_TRUE(m_app.boxes.shown.empty());
  EXPECT_EQ(m_pDialog->Controller().m_nTransmitCount, -2);  // counted down even here
}

TEST_F(SendDialogOnPty, EnterOutsideTheTextBoxSends) {
  TextBox().setPlainText(QStringLiteral("go"));
  CountEdit().setFocus();
  QTest::keyClick(&CountEdit(), Qt::Key_Return);
  EXPECT_EQ(ReadFar(2), "go");
}

TEST_F(SendDialogOnPty, PeriodicRunWithCountThreeSendsThreeBlocksThenStartsOver) {
  TextBox().setPlainText(QStringLiteral("xyz"));
  Periodic(QStringLiteral("20"), QStringLiteral("3"));
  EXPECT_EQ(SendButton().text(), QStringLiteral("START"));
  EXPECT_TRUE(PeriodEdit().isEnabled());

  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  EXPECT_EQ(SendButton().text(), QStringLiteral("STOP"));
  ASSERT_TRUE(WaitForLabel("START"));  // by itself, at the tick after the third
  EXPECT_EQ(Written(), 9);
  EXPECT_EQ(ReadFar(9), "xyzxyzxyz");
  EXPECT_EQ(m_app.Worker().TxBuffer(), nullptr);
  EXPECT_EQ(m_pDialog->Controller().m_nTransmitCount, 0);
}

TEST_F(SendDialogOnPty, FloatWithOneByteUnitsShowsFourAndSendsFourByteUnits) {
  Control<QComboBox>("formatList").setCurrentIndex(4);
  TextBox().setPlainText(QStringLiteral("1 -2"));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  EXPECT_EQ(Control<QComboBox>("lengthList").currentText(), QStringLiteral("4"));
  EXPECT_EQ(ReadFar(8), std::string("\x3F\x80\x00\x00\xC0\x00\x00\x00", 8));
}

TEST_F(SendDialogOnPty, BlocksOverSixtyFiveThousandBytesRunTheBarToTheirLength) {
  TextBox().setPlainText(QString(70000, QLatin1Char('p')));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  EXPECT_EQ(Progress().minimum(), 0);
  EXPECT_EQ(Progress().maximum(), 70000);
  EXPECT_EQ(ReadFar(70000), std::string(70000, 'p'));
  ASSERT_TRUE(WaitForLabel("SEND"));
  EXPECT_EQ(Written(), 70000);
}

// Looking for word boundaries in a paragraph of megabytes would hold the
// window for minutes; such a paragraph wraps anywhere.
TEST_F(SendDialogOnPty, AVeryLongParagraphWrapsAnywhere) {
  EXPECT_EQ(TextBox().wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  TextBox().setPlainText(QString(256 * 1024, QLatin1Char('w')));
  EXPECT_EQ(TextBox().wordWrapMode(), QTextOption::WrapAnywhere);
  TextBox().setPlainText(QStringLiteral("41 42"));
  EXPECT_EQ(TextBox().wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

TEST_F(SendDialogOnPty, SendsAFileChosenWithTheBrowseButton) {
  std::vector<unsigned char> content(256);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i);
  const std::string path = m_app.dir.File("d\xC3\xA4t\xC3\xA4.bin");  // "dätä.bin"
  WriteBytes(path, content);
  m_chooser.answer = QFile::decodeName(path.c_str());

  QTest::mouseClick(&Control<QCheckBox>("sendFileCheck"), Qt::LeftButton);
  EXPECT_FALSE(TextBox().isEnabled());
  EXPECT_EQ(TextBox().toPlainText(), QStringLiteral("File: Not selected"));
  QTest::mouseClick(&Control<QPushButton>("browseButton"), Qt::LeftButton);
  EXPECT_EQ(m_chooser.asked, 1);
  EXPECT_TRUE(m_chooser.askedMustExist);
  EXPECT_EQ(TextBox().toPlainText(), QStringLiteral("File: ") + *m_chooser.answer);

  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  const std::string got = ReadFar(256);
  EXPECT_EQ(std::vector<unsigned char>(got.begin(), got.end()), content);
  ASSERT_TRUE(WaitForLabel("SEND"));
  // A start shows the members again in file mode: the count box counts down.
  EXPECT_EQ(CountEdit().text(), QStringLiteral("-2"));
  EXPECT_EQ(TextBox().toPlainText(), QStringLiteral("File: ") + *m_chooser.answer);
}

// The file is read at the start; the repetitions send the block read then,
// so a file deleted meanwhile changes nothing.
TEST_F(SendDialogOnPty, PeriodicFileSendRepeatsTheBlockReadAtTheStart) {
  const std::string path = m_app.dir.File("once.bin");
  WriteBytes(path, {'f', '1', '\n'});
  m_chooser.answer = QFile::decodeName(path.c_str());
  QTest::mouseClick(&Control<QCheckBox>("sendFileCheck"), Qt::LeftButton);
  QTest::mouseClick(&Control<QPushButton>("browseButton"), Qt::LeftButton);
  Periodic(QStringLiteral("30"), QStringLiteral("2"));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  std::filesystem::remove(path);
  ASSERT_TRUE(WaitForLabel("START"));
  EXPECT_EQ(ReadFar(6), "f1\nf1\n");
  EXPECT_TRUE(m_app.boxes.shown.empty());
  EXPECT_EQ(CountEdit().text(), QStringLiteral("0"));  // shown again in file mode
}

struct BadInputCase {
  const char* name;
  int format;
  const char* text;
  bool sendFile;
  const char* period;  // periodic mode with this period when set
  const char* count;
  const char* boxText;  // nullptr: the file's path
  const char* caption;
  const char* focused;  // the field that gets the focus, or nullptr
  const char* block;    // what is sent all the same, once or repeatedly
};

void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.name; }

class SendDialogBadInput : public SendDialogOnPty,
                           public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(SendDialogBadInput, ShowsTheBoxAndSendsOnlyWhatIsValid) {
  const BadInputCase& c = GetParam();
  Control<QComboBox>("formatList").setCurrentIndex(c.format);
  TextBox().setPlainText(QString::fromLatin1(c.text));
  if (c.period != nullptr) Periodic(QString::fromLatin1(c.period), QString::fromLatin1(c.count));
  CountEdit().setText(QString::fromLatin1(c.count));
  if (c.sendFile) QTest::mouseClick(&Control<QCheckBox>("sendFileCheck"), Qt::LeftButton);
  QTest::mouseClick(&SendButton(), Qt::LeftButton);

  ASSERT_EQ(m_app.boxes.shown.size(), 1u);
  const ShownBox& box = m_app.boxes.shown[0];
  EXPECT_EQ(box.text, c.boxText != nullptr ? std::string(c.boxText) : "Not selected");
  EXPECT_EQ(box.caption, c.caption);
  EXPECT_EQ(box.path, c.boxText == nullptr);
  if (c.focused != nullptr) {
    QLineEdit& field = Control<QLineEdit>(c.focused);
    EXPECT_EQ(m_pDialog->focusWidget(), &field);
    EXPECT_EQ(field.selectedText(), field.text());
  }

  const std::string block = c.block;
  if (c.period != nullptr) {
    // The run goes on with the period it had: stopped once it has sent.
    ASSERT_TRUE(WaitFor([&] { return Written() > 0; }));
    QTest::mouseClick(&SendButton(), Qt::LeftButton);
  }
  ASSERT_TRUE(WaitForLabel(c.period != nullptr ? "START" : "SEND"));
  ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() == nullptr; }));
  const std::size_t written = static_cast<std::size_t>(Written());
  std::string expected;
  while (!block.empty() && expected.size() < written) expected += block;
  EXPECT_EQ(expected.size(), written);
  EXPECT_EQ(ReadFar(written), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SendDialogBadInput,
                         ::testing::Values(
                             // The reading stops at the bad field; the send goes on with the rest.
                             BadInputCase{"CountNotANumber", 0, "hi", false, nullptr, "x",
                                          "Enter an integer.", "Tarnwick", "transmitCountEdit",
                                          "hi"},
                             BadInputCase{"PeriodEmpty", 0, "p", false, "", "-1",
                                          "Enter an integer.", "Tarnwick", "periodEdit", "p"},
                             BadInputCase{"NothingToSend", 0, "", false, nullptr, "-1",
                                          "No data to send !", "SEND", nullptr, ""},
                             BadInputCase{"HexWithoutTokens", 1, " \n ", false, nullptr, "-1",
                                          "No data to send !", "SEND", nullptr, ""},
                             BadInputCase{"HexNotADigit", 1, "4G", false, nullptr, "-1",
                                          "Incorrect string", "Send", nullptr, ""},
                             BadInputCase{"NoFileChosen", 0, "", true, nullptr, "-1", nullptr,
                                          "Can not open file !", nullptr, ""}));

// Reopening after a close shows what the last reading took from the
// controls; what was typed since is gone with the window.
TEST_F(SendDialogOnPty, ReopenShowsTheLastFormatOptionsAndText) {
  Control<QComboBox>("formatList").setCurrentIndex(1);  // HEX
  Control<QComboBox>("lengthList").setCurrentIndex(1);  // 2 bytes
  QTest::mouseClick(&Control<QCheckBox>("reverseCheck"), Qt::LeftButton);
  TextBox().setPlainText(QStringLiteral("1 2"));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  EXPECT_EQ(ReadFar(4), std::string("\x01\x00\x02\x00", 4));
  ASSERT_TRUE(WaitForLabel("SEND"));

  TextBox().setPlainText(QStringLiteral("typed, never sent"));
  QTest::keyClick(m_pDialog, Qt::Key_Escape);
  EXPECT_FALSE(m_pDialog->isVisible());

  CSendDialog* first = m_pDialog;
  OpenWindow();
  EXPECT_EQ(m_pDialog, first);
  EXPECT_TRUE(m_pDialog->isVisible());
  EXPECT_EQ(TextBox().toPlainText(), QStringLiteral("1 2"));
  EXPECT_EQ(Control<QComboBox>("formatList").currentIndex(), 1);
  EXPECT_EQ(Control<QComboBox>("lengthList").currentIndex(), 1);
  EXPECT_TRUE(Control<QCheckBox>("reverseCheck").isChecked());
  EXPECT_EQ(SendButton().text(), QStringLiteral("SEND"));
  EXPECT_EQ(m_pDialog->focusWidget(), &SendButton());
}

TEST_F(SendDialogOnPty, SendAgainRestoresAMinimisedWindow) {
  m_pDialog->showMinimized();
  ASSERT_TRUE(WaitFor([&] { return m_pDialog->isMinimized(); }));
  CSendDialog* first = m_pDialog;
  OpenWindow();
  EXPECT_EQ(m_pDialog, first);
  EXPECT_FALSE(m_pDialog->isMinimized());
  EXPECT_TRUE(m_pDialog->isVisible());
}

// The far side stops reading: the count and the bar stop with the line, and
// what it finally reads is exactly what the count says.
enum class HeldEnd { kAbort, kClose };

class SendDialogHeldLine : public SendDialogOnPty, public ::testing::WithParamInterface<HeldEnd> {};

TEST_P(SendDialogHeldLine, CountStopsWithTheLineAndTheBlockEndsEarly) {
  const int size = 65536;
  TextBox().setPlainText(QString(size, QLatin1Char('a')));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  const std::int32_t held = WaitUntilHeld();
  EXPECT_LT(held, size);
  ASSERT_TRUE(WaitFor([&] { return Progress().value() == held; }));
  EXPECT_EQ(Progress().maximum(), size);
  EXPECT_EQ(SendButton().text(), QStringLiteral("ABORT"));

  if (GetParam() == HeldEnd::kAbort) {
    QTest::mouseClick(&SendButton(), Qt::LeftButton);
    EXPECT_EQ(SendButton().text(), QStringLiteral("SEND"));
  } else {
    m_pDialog->close();
    EXPECT_FALSE(m_pDialog->isVisible());
  }
  ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() == nullptr; }));
  const std::int32_t written = Written();
  EXPECT_LE(written, held + 1);  // at most the one byte an abort lets go
  EXPECT_EQ(ReadFar(static_cast<std::size_t>(written)), std::string(std::size_t(written), 'a'));
  EXPECT_EQ(Written(), written);

  if (GetParam() == HeldEnd::kClose) {
    OpenWindow();
    EXPECT_EQ(SendButton().text(), QStringLiteral("SEND"));
    EXPECT_EQ(Progress().value(), 0);
    EXPECT_EQ(TextBox().toPlainText().size(), size);
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, SendDialogHeldLine,
                         ::testing::Values(HeldEnd::kAbort, HeldEnd::kClose), [](const auto& info) {
                           return std::string(info.param == HeldEnd::kAbort ? "Abort" : "Close");
                         });

// STOP lets a block of up to 1024 bytes finish and cuts a longer one short;
// the line is held while it is pressed, so the block is still in flight.
class SendDialogStop : public SendDialogOnPty, public ::testing::WithParamInterface<int> {};

TEST_P(SendDialogStop, LetsUpTo1024BytesFinish) {
  const int size = GetParam();
  TextBox().setPlainText(QString(65536, QLatin1Char('a')));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  WaitUntilHeld();
  QTest::mouseClick(&SendButton(), Qt::LeftButton);  // ABORT the filler
  ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() == nullptr; }));
  const std::int32_t filler = Written();

  TextBox().setPlainText(QString(size, QLatin1Char('b')));
  Periodic(QStringLiteral("60000"), QStringLiteral("-1"));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() != nullptr; }));
  QTest::mouseClick(&SendButton(), Qt::LeftButton);  // STOP
  EXPECT_EQ(SendButton().text(), QStringLiteral("START"));

  const std::string filled(std::size_t(filler), 'a');
  if (size <= 1024) {
    EXPECT_EQ(ReadFar(filled.size() + std::size_t(size)), filled + std::string(size, 'b'));
    ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() == nullptr; }));
    EXPECT_EQ(Written(), filler + size);
  } else {
    ASSERT_TRUE(WaitFor([&] { return m_app.Worker().TxBuffer() == nullptr; }));
    const std::size_t cut = std::size_t(Written() - filler);
    EXPECT_LE(cut, 1u);  // the block was cut short
    EXPECT_EQ(ReadFar(filled.size() + cut), filled + std::string(cut, 'b'));
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SendDialogStop, ::testing::Values(1024, 1025),
                         [](const auto& info) { return std::to_string(info.param); });

// Exit from the main window ends the event loop while the Send window is
// still open: it neither keeps the program alive nor holds up the close.
TEST(SendDialogLifetime, ExitEndsTheProgramWithTheWindowOpen) {
  AppFixture app(true);
  app.Start();
  app.Frame().Action(ID_SEND)->trigger();
  ASSERT_TRUE(app.app->SendDialog()->isVisible());
  QTimer::singleShot(0, &app.Frame(), [&app] { app.Frame().Action(ID_APP_EXIT)->trigger(); });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
  watchdog.start(10000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
  app.app->ExitInstance();
  EXPECT_EQ(app.app->SendDialog(), nullptr);
}

}  // namespace
}  // namespace tarnwick::testing
