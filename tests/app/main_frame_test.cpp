#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "app/app_icons.h"
#include "app/command_table.h"
#include "app/qt/fitting_status_bar.h"
#include "app_fixture.h"
#include "port/qt/elided_label.h"
#include "port/qt/line_state_panes.h"
#include "port/qt/port_status_pane.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::WaitFor;

struct MenuEntry {
  int id;  // 0: separator
  const char* text;
};

TEST(MainFrame, MenusHoldTheirEntriesInOrder) {
  CMainFrame frame;
  const QList<QAction*> menus = frame.menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  const char* titles[] = {"&Main", "&Edit", "&View", "&Line", "&Help"};
  const std::vector<std::vector<MenuEntry>> expected = {
      {{ID_PORT_SETTINGS, "&Port settings"},
       {ID_SCREEN_SETTINGS, "&Screen Settings"},
       {ID_SEND, "&Send"},
       {0, nullptr},
       {ID_CONNECT, "&Connect"},
       {ID_DISCONNECT, "&Disconnect"},
       {0, nullptr},
       {ID_APP_EXIT, "E&xit"}},
      {{ID_COPY_ALL, "Copy All"},
       {ID_EDIT_COPY_SELECTION, "Copy &Selection"},
       {ID_EDIT_PASTE_TO_DEVICE, "&Paste to Device"},
       {0, nullptr},
       {ID_EDIT_FIND, "&Find..."},
       {ID_EDIT_FIND_NEXT, "Find &Next"},
       {ID_EDIT_FIND_PREVIOUS, "Find &Previous"}},
      {{ID_VIEW_TOOLBAR, "&Toolbar"},
       {ID_VIEW_STATUS_BAR, "&Status Bar"},
       {ID_CLEAR_SCREEN, "Clear"},
       {0, nullptr},
       {ID_VIEW_OPTIONS, "&Options..."},
       {ID_VIEW_PLOT, "&Plot"},
       {-1, "Te&xt"},  // a submenu
       {0, nullptr},
       {ID_VIEW_SEND_LINE, "Send &line"},
       {ID_VIEW_MACROS, "&Macros"},
       {ID_VIEW_TYPE_INTO_VIEW, "T&ype into the view"},
       {ID_VIEW_LOCAL_ECHO, "Local &echo"}},
      {{ID_LINE_DTR, "&DTR"},
       {ID_LINE_RTS, "&RTS"},
       {0, nullptr},
       {ID_LINE_PULSE_DTR, "&Pulse DTR"}},
      {{ID_APP_ABOUT, "&About Tarnwick..."}, {ID_HELP_TARNWICK, "Tarnwick HELP"}},
  };
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(menus[m]->text().toStdString(), titles[m]);
    QMenu* menu = menus[m]->menu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected[m].size())) << titles[m];
    for (std::size_t i = 0; i < expected[m].size(); ++i) {
      QAction* action = actions[static_cast<qsizetype>(i)];
      if (expected[m][i].id == 0) {
        EXPECT_TRUE(action->isSeparator());
        continue;
      }
      if (expected[m][i].id < 0) {
        EXPECT_NE(action->menu(), nullptr);
        EXPECT_EQ(action->text().toStdString(), expected[m][i].text);
        continue;
      }
      EXPECT_EQ(action->data().toInt(), expected[m][i].id);
      EXPECT_EQ(action->text().toStdString(), expected[m][i].text);
    }
  }
}

TEST(MainFrame, ToolBarHasTheFiveCommandsThenPlotAndConnectionAsLargeIcons) {
  CMainFrame frame;
  QToolBar* bar = frame.ToolBar();
  const QList<QAction*> buttons = bar->actions();
  const std::vector<int> expected = {ID_PORT_SETTINGS, ID_SCREEN_SETTINGS,
                                     ID_SEND,          ID_CLEAR_SCREEN,
                                     ID_APP_ABOUT,     0,
                                     ID_VIEW_PLOT,     0,
                                     ID_CONNECT,       ID_DISCONNECT};
  ASSERT_EQ(buttons.size(), static_cast<qsizetype>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QAction* button = buttons[static_cast<qsizetype>(i)];
    EXPECT_EQ(button->isSeparator(), expected[i] == 0);
    if (expected[i] == 0) continue;
    EXPECT_EQ(button->data().toInt(), expected[i]);
    EXPECT_FALSE(button->icon().isNull());
  }
  EXPECT_EQ(bar->iconSize(), QSize(32, 32));
  EXPECT_TRUE(bar->isMovable());
  EXPECT_TRUE(bar->isFloatable());
  EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
  EXPECT_EQ(frame.toolBarArea(bar), Qt::TopToolBarArea);
  frame.addToolBar(Qt::LeftToolBarArea, bar);
  EXPECT_EQ(frame.toolBarArea(bar), Qt::LeftToolBarArea);
}

// Painted icons are drawn at the pixel size asked for, so a 2x screen gets a
// 64-pixel picture, not a blown-up 32-pixel one.
TEST(MainFrame, IconsArePaintedAtTheScreensDensity) {
  for (const QIcon& icon :
       {ProgramIcon(), PortSettingsIcon(), ScreenSettingsIcon(), SendIcon(), ClearIcon(),
        AboutIcon(), PlotIcon(), ConnectIcon(), DisconnectIcon()}) {
    const QImage image = icon.pixmap(QSize(32, 32), 2.0).toImage();
    EXPECT_EQ(image.size(), QSize(64, 64));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GT(opaque, 64 * 64 / 5);
  }
}

TEST(MainFrame, ActionsCarryPromptsTooltipsAndKeys) {
  CMainFrame frame;
  for (const CommandInfo& command : Commands()) {
    QAction* action = frame.Action(command.id);
    if (action == nullptr) continue;
    if (command.id != ID_VIEW_TOOLBAR && command.id != ID_VIEW_STATUS_BAR) {
      EXPECT_EQ(action->statusTip().toStdString(), command.prompt) << command.id;
      if (!command.tooltip.empty()) {
        EXPECT_EQ(action->toolTip().toStdString(), command.tooltip);
      }
    }
    const QKeySequence key(QString::fromLatin1(command.key.data(), command.key.size()));
    EXPECT_EQ(action->shortcut(), key) << command.id;
  }
  EXPECT_EQ(frame.Action(ID_COPY_ALL)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_EQ(frame.Action(ID_HELP_TARNWICK)->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST(MainFrame, StatusBarShowsReadyPromptsAndDimIndicators) {
  CMainFrame frame;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  EXPECT_EQ(frame.MessagePane()->text(), "Ready");
  EXPECT_TRUE(frame.MessagePane()->isVisible());

  // Hovering a command shows its prompt in place of "Ready", which returns after.
  QWidget* button = frame.ToolBar()->widgetForAction(frame.Action(ID_CLEAR_SCREEN));
  QTest::mouseMove(button);
  EXPECT_EQ(frame.statusBar()->currentMessage(), "Clear screen");
  EXPECT_FALSE(frame.MessagePane()->isVisible());
  frame.statusBar()->clearMessage();
  EXPECT_TRUE(frame.MessagePane()->isVisible());

  // The offscreen platform reports no lock keys: the indicators stay dim.
  for (const char* name : {"CAP", "NUM", "SCRL"}) {
    QLabel* indicator = frame.Indicator(name);
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->text(), name);
    EXPECT_FALSE(indicator->isEnabled());
  }
}

// Every pane the bar shows lies inside it, none over another.
bool PanesFit(const QStatusBar& bar) {
  std::vector<QRect> shown;
  for (const QWidget* pane : bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!pane->isVisible() || qobject_cast<const QSizeGrip*>(pane) != nullptr) continue;
    const QRect area = pane->geometry();
    if (area.left() < 0 || area.right() >= bar.width()) return false;
    for (const QRect& other : shown) {
      if (other.intersects(area)) return false;
    }
    shown.push_back(area);
  }
  return true;
}

// The window fits a screen 800 px wide and narrower ones: the status bar's
// long texts shorten and its lamps and lock-key indicators give way, the
// least important first. A longer text never widens the window.
TEST(MainFrame, StatusBarFitsTheWindowAndNeverWidensIt) {
  AppFixture fixture(false);
  fixture.WriteConfig(DefaultSettings());
  fixture.Start();
  CMainFrame& frame = fixture.Frame();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  auto* bar = static_cast<FittingStatusBar*>(frame.statusBar());
  // A prompt (the pointer left over a button) keeps the panes as they are.
  bar->clearMessage();
  // In the order they give way.
  const QWidget* droppable[] = {frame.Indicator("SCRL"), frame.Indicator("NUM"),
                                frame.Indicator("CAP"), frame.LinePanes()};
  const std::string longReason = "Open Port FAILED !" + std::string(400, 'x');
  const struct {
    int width;
    bool longText;  // the port's state says why at great length
  } cases[] = {{1400, false}, {800, false}, {800, true}, {560, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    SCOPED_TRACE(c.longText);
    frame.PortPane()->SetSource(PortStatusPane::Source{
        [&] {
          return PortStatusText{PortState::kFailed, "COM1: " + (c.longText ? longReason : "")};
        },
        [] { return std::string("Read 123456 / Write 7890"); },
        [] { return std::string(); },
        {}});
    frame.resize(c.width, 400);
    EXPECT_TRUE(WaitFor([&] { return frame.width() == c.width && PanesFit(*bar); }))
        << frame.width();
    EXPECT_LE(frame.minimumSizeHint().width(), c.width);
    EXPECT_TRUE(frame.PortPane()->PortLabel()->isVisible());
    EXPECT_TRUE(frame.PortPane()->CountersLabel()->isVisible());
    // Once one is dropped, every one before it in the list is dropped too;
    // a wide window drops none.
    bool dropping = c.width >= 1400;
    for (const QWidget* pane : droppable) {
      if (!bar->Dropped(pane)) dropping = true;
      EXPECT_EQ(bar->Dropped(pane), !dropping);
    }
  }
}

TEST(MainFrame, ViewMenuHidesAndRestoresTheBarsWithCheckMarks) {
  CMainFrame frame;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  struct Bar {
    int id;
    QWidget* widget;
  };
  for (const Bar& bar :
       {Bar{ID_VIEW_TOOLBAR, frame.ToolBar()}, Bar{ID_VIEW_STATUS_BAR, frame.statusBar()}}) {
    QAction* toggle = frame.Action(bar.id);
    ASSERT_TRUE(toggle->isCheckable());
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(bar.widget->isVisible());
    toggle->trigger();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(bar.widget->isVisible());
  }
}

// The caption is the line summary and " - Tarnwick", nothing else (the device
// is the status bar's), as a screen reader finds it too.
TEST(MainFrame, CaptionIsTheLineSummaryAndFollowsIt) {
  AppFixture fixture(false);
  fixture.Start();
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&fixture.Frame());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->text(QAccessible::Name).toStdString(),
            "COM1;9600;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no - "
            "Tarnwick");
  fixture.app->m_Settings.nBaudIndex = 12;
  fixture.app->UpdateLineSummary();
  EXPECT_EQ(window->text(QAccessible::Name).toStdString(),
            "COM1;115200;8 bits;1 stop;PARITY=NO;DTR=DISABLE;RTS=DISABLE;use DSR=no;use CTS=no - "
            "Tarnwick");
}

TEST(MainFrame, AcceleratorsReachCopyAllAndHelp) {
  AppFixture fixture(false);
  fixture.Start();
  fixture.View().Model().AddReceivedBytes(reinterpret_cast<const std::uint8_t*>("Hi"), 2);
  QApplication::clipboard()->clear();
  fixture.Frame().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&fixture.Frame()));
  QTest::keyClick(&fixture.Frame(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(QApplication::clipboard()->text().isEmpty());

  testing::WriteBytes(fixture.dir.File("help.html"), {'<', 'p', '>'});
  QTest::keyClick(&fixture.Frame(), Qt::Key_F1);
  EXPECT_EQ(fixture.openedUrls.size(), 1u);
}

}  // namespace
}  // namespace tarnwick
