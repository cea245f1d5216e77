// The status bar's lamps, toggles and error pane: grey with their reasons on
// a pseudo-terminal and while the port is closed; on a device with modem
// lines lit as the lines stand, toggles that set the lines, the pulse from
// the Line menu and an error count that stands out from the first error.
#include "port/qt/line_state_panes.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/command_table.h"
#include "support/fake_modem.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::FakeModem;
using testing::FakeModemDevice;
using testing::WaitFor;

constexpr unsigned kAllLamps[] = {kModemCts, kModemDsr, kModemDcd, kModemRi};

DCB DcbWith(std::uint32_t dtr, std::uint32_t rts) {
  DCB dcb{};
  dcb.fDtrControl = dtr;
  dcb.fRtsControl = rts;
  return dcb;
}

LineStatePanes* PanesOf(AppFixture& fixture) {
  return fixture.Frame().findChild<LineStatePanes*>(QStringLiteral("lineStatePanes"));
}

TEST(LineStatePanes, PseudoTerminalGreysTheLampsAndTogglesAndCountsNothing) {
  AppFixture fixture(true);
  fixture.Start();
  ASSERT_TRUE(fixture.WaitForPortOpen());
  LineStatePanes* panes = PanesOf(fixture);
  ASSERT_NE(panes, nullptr);
  EXPECT_EQ(panes->parentWidget(), fixture.Frame().statusBar());
  // Left of the lock-key indicators.
  EXPECT_LT(panes->mapTo(&fixture.Frame(), QPoint()).x(),
            fixture.Frame().Indicator("CAP")->mapTo(&fixture.Frame(), QPoint()).x());

  ASSERT_TRUE(WaitFor([&] { return panes->ErrorPane()->isEnabled(); }));
  for (const unsigned line : kAllLamps) {
    QLabel* lamp = panes->Lamp(line);
    ASSERT_NE(lamp, nullptr);
    EXPECT_FALSE(lamp->isEnabled());
    EXPECT_FALSE(lamp->property("lit").toBool());
    EXPECT_TRUE(lamp->toolTip().endsWith(
        QStringLiteral(": this device has no modem lines (a pseudo-terminal has none)")))
        << lamp->toolTip().toStdString();
  }
  EXPECT_EQ(panes->Lamp(kModemDcd)->text(), QStringLiteral("DCD"));
  EXPECT_EQ(
      panes->Lamp(kModemCts)->toolTip(),
      QStringLiteral(
          "CTS (Clear To Send): this device has no modem lines (a pseudo-terminal has none)"));
  for (const OutputLine line : {OutputLine::kDtr, OutputLine::kRts}) {
    EXPECT_FALSE(panes->Toggle(line)->isEnabled());
  }
  EXPECT_EQ(panes->Toggle(OutputLine::kDtr)->toolTip(),
            QStringLiteral("DTR: this device has no modem lines"));
  for (const int id : {ID_LINE_DTR, ID_LINE_RTS, ID_LINE_PULSE_DTR}) {
    EXPECT_FALSE(fixture.Frame().Action(id)->isEnabled()) << id;
  }
  // The pulse's key does nothing while it is refused.
  QTest::keyClick(&fixture.Frame(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(panes->ErrorPane()->text(), QStringLiteral("Errors: n/a"));
  EXPECT_EQ(panes->ErrorPane()->toolTip(),
            QStringLiteral("This device does not count line errors"));
  EXPECT_FALSE(panes->ErrorPane()->property("highlighted").toBool());
}

// The panes on a line state of their own, attached to a scripted device with
// modem lines, as a real UART would show them.
class LineStatePanesOnModem : public ::testing::Test {
 protected:
  LineStatePanesOnModem() : m_panes(&m_dtr, &m_rts, &m_pulse) {
    m_dtr.setCheckable(true);
    m_rts.setCheckable(true);
  }
  ~LineStatePanesOnModem() override { m_lines.Detach(); }

  void Attach(std::uint32_t dtr, std::uint32_t rts) {
    m_panes.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_panes));
    m_panes.Attach(m_lines);
    m_lines.Attach(m_device, DcbWith(dtr, rts));
    ASSERT_TRUE(WaitFor([&] { return m_panes.ErrorPane()->isEnabled(); }));
  }

  FakeModem m_modem;
  FakeModemDevice m_device{m_modem};
  LineState m_lines;
  QAction m_dtr{QStringLiteral("&DTR")};
  QAction m_rts{QStringLiteral("&RTS")};
  QAction m_pulse{QStringLiteral("&Pulse DTR")};
  LineStatePanes m_panes;
};

TEST_F(LineStatePanesOnModem, LampsLightAsTheLinesStand) {
  m_modem.SetInputs(kModemCts | kModemDcd);
  Attach(kDtrControlEnable, kRtsControlEnable);
  for (const unsigned line : kAllLamps) {
    EXPECT_TRUE(m_panes.Lamp(line)->isEnabled());
    EXPECT_EQ(m_panes.Lamp(line)->property("lit").toBool(), line == kModemCts || line == kModemDcd);
  }
  EXPECT_EQ(m_panes.Lamp(kModemCts)->toolTip(), QStringLiteral("CTS (Clear To Send) is up"));
  EXPECT_EQ(m_panes.Lamp(kModemDsr)->toolTip(), QStringLiteral("DSR (Data Set Ready) is down"));
  EXPECT_NE(m_panes.Lamp(kModemCts)->palette().color(QPalette::Window),
            m_panes.Lamp(kModemDsr)->palette().color(QPalette::Window));

  m_modem.SetInputs(kModemRi);
  ASSERT_TRUE(WaitFor([&] { return m_panes.Lamp(kModemRi)->property("lit").toBool(); }));
  EXPECT_FALSE(m_panes.Lamp(kModemCts)->property("lit").toBool());

  // Lines that stop answering go grey and say so.
  m_modem.LoseLines();
  ASSERT_TRUE(WaitFor([&] { return !m_panes.Lamp(kModemRi)->isEnabled(); }));
  EXPECT_FALSE(m_panes.Lamp(kModemRi)->property("lit").toBool());
  EXPECT_EQ(
      m_panes.Lamp(kModemDsr)->toolTip(),
      QStringLiteral("DSR (Data Set Ready): the device no longer answers for its modem lines"));
  EXPECT_FALSE(m_panes.Toggle(OutputLine::kDtr)->isEnabled());

  m_lines.Detach();
  ASSERT_TRUE(WaitFor([&] { return !m_panes.ErrorPane()->isEnabled(); }));
  EXPECT_EQ(m_panes.Lamp(kModemDsr)->toolTip(),
            QStringLiteral("DSR (Data Set Ready): the port is closed"));
}

TEST_F(LineStatePanesOnModem, TogglesAndTheMenuSetTheLinesAndPulseDtr) {
  Attach(kDtrControlEnable, kRtsControlDisable);
  QToolButton* dtr = m_panes.Toggle(OutputLine::kDtr);
  QToolButton* rts = m_panes.Toggle(OutputLine::kRts);
  ASSERT_TRUE(dtr->isEnabled());
  EXPECT_TRUE(dtr->isChecked());
  EXPECT_FALSE(rts->isChecked());
  EXPECT_TRUE(m_dtr.isChecked());
  EXPECT_EQ(dtr->toolTip(), QStringLiteral("DTR is up: click to lower it"));

  QTest::mouseClick(dtr, Qt::LeftButton);
  EXPECT_EQ(m_modem.Outputs(), (std::vector<std::string>{"dtr:0"}));
  EXPECT_FALSE(dtr->isChecked());
  EXPECT_FALSE(m_dtr.isChecked());
  EXPECT_EQ(dtr->toolTip(), QStringLiteral("DTR is down: click to raise it"));

  m_rts.trigger();  // the Line menu's entry
  EXPECT_EQ(m_modem.Outputs().back(), "rts:1");
  EXPECT_TRUE(rts->isChecked());

  // A device that refuses: the check mark stays with the line.
  m_modem.SetRefusesOutputs(true);
  QTest::mouseClick(rts, Qt::LeftButton);
  EXPECT_TRUE(rts->isChecked());
  EXPECT_TRUE(m_rts.isChecked());
  m_modem.SetRefusesOutputs(false);

  ASSERT_TRUE(m_pulse.isEnabled());
  m_pulse.trigger();
  ASSERT_TRUE(m_modem.WaitUntil([&] { return m_modem.Outputs().size() == 4; }));
  EXPECT_EQ(m_modem.Outputs()[2], "dtr:0");
  EXPECT_EQ(m_modem.Outputs()[3], "dtr:1");
  ASSERT_TRUE(WaitFor([&] { return dtr->isChecked(); }));
}

TEST_F(LineStatePanesOnModem, HandshakeAndToggleControlKeepTheTogglesDisabled) {
  Attach(kDtrControlHandshake, kRtsControlToggle);
  EXPECT_FALSE(m_panes.Toggle(OutputLine::kDtr)->isEnabled());
  EXPECT_FALSE(m_panes.Toggle(OutputLine::kRts)->isEnabled());
  EXPECT_FALSE(m_dtr.isEnabled());
  EXPECT_FALSE(m_pulse.isEnabled());
  EXPECT_TRUE(m_panes.Toggle(OutputLine::kDtr)->isChecked());  // HANDSHAKE keeps it raised
  EXPECT_EQ(m_panes.Toggle(OutputLine::kDtr)->toolTip(),
            QStringLiteral("DTR follows its control setting, HANDSHAKE: choose ENABLE or DISABLE "
                           "in Port Settings to set it here"));
  EXPECT_EQ(m_panes.Toggle(OutputLine::kRts)->toolTip(),
            QStringLiteral("RTS follows its control setting, TOGGLE: choose ENABLE or DISABLE "
                           "in Port Settings to set it here"));
  m_pulse.trigger();
  EXPECT_TRUE(m_modem.Outputs().empty());
}

TEST_F(LineStatePanesOnModem, ErrorPaneCountsAndStandsOutFromTheFirstError) {
  Attach(kDtrControlDisable, kRtsControlDisable);
  QLabel* pane = m_panes.ErrorPane();
  EXPECT_EQ(pane->text(), QStringLiteral("Errors: 0"));
  EXPECT_FALSE(pane->property("highlighted").toBool());
  const QColor quiet = pane->palette().color(QPalette::Window);

  m_modem.AddErrors({1, 0, 2, 0, 1});
  m_lines.AfterReceive();
  ASSERT_TRUE(WaitFor([&] { return pane->text() == QStringLiteral("Errors: 4"); }));
  EXPECT_TRUE(pane->property("highlighted").toBool());
  EXPECT_NE(pane->palette().color(QPalette::Window), quiet);
  EXPECT_EQ(pane->toolTip(),
            QStringLiteral("Line errors since the port was opened or the screen cleared:\n"
                           "Overruns (UART): 1\n"
                           "Overruns (driver buffer): 0\n"
                           "Framing errors: 2\n"
                           "Parity errors: 0\n"
                           "Breaks: 1"));

  m_lines.ResetErrors();
  ASSERT_TRUE(WaitFor([&] { return pane->text() == QStringLiteral("Errors: 0"); }));
  EXPECT_FALSE(pane->property("highlighted").toBool());
  EXPECT_EQ(pane->palette().color(QPalette::Window), quiet);
}

}  // namespace
}  // namespace tarnwick
