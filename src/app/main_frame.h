// The single top-level window: menus, the dockable toolbar and the status bar
// around the one view. Commands are QActions keyed by their numeric ids; the
// application and the view connect to them.
#pragma once

#include <QMainWindow>
#include <map>
#include <string>

class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;

namespace tarnwick {

class CFindBar;
class CZerikView;
class FittingStatusBar;
class LineStatePanes;
class PortStatusPane;
class TextOptionsMenu;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // The document title part of the caption; the frame adds " - Tarnwick".
  // The device the port leads to is the status bar's, not the caption's.
  void SetTitle(const std::string& title);

  // Puts the view in the frame, the find bar under it, and routes Copy All,
  // Clear and the view's context menu to it.
  void SetView(CZerikView* view);
  CZerikView* View() const { return m_pView; }
  CFindBar* FindBar() const { return m_pFindBar; }
  // The menu the view shows on a right click: Copy Selection, Copy All,
  // Clear, Find.
  QMenu* ContextMenu() const { return m_pContextMenu; }

  // The window's size and position from the profile (Options/WindowGeometry),
  // when it holds one; saved there as the window closes. Either way the
  // window fits the screen it is on.
  void RestoreWindowGeometry();
  void SaveWindowGeometry() const;

  // The action of a command the frame offers now, or nullptr.
  QAction* Action(int id) const;

  QToolBar* ToolBar() const { return m_wndToolBar; }
  QLabel* MessagePane() const { return m_pMessagePane; }
  QLabel* Indicator(const char* text) const;
  // The modem-line lamps, DTR/RTS toggles and error pane, before the indicators.
  LineStatePanes* LinePanes() const { return m_pLinePanes; }
  // The port's state, the counters and the logs, first of the permanent panes.
  PortStatusPane* PortPane() const { return m_pPortPane; }

  // Following the newest line stopped or resumed: a pane says so while it is
  // stopped, and the message area tells the change for a while.
  void ShowFollowing(bool following, const QString& text);
  QLabel* FollowPane() const { return m_pFollowPane; }

  // Reads the lock keys again and lights the indicators that are on.
  void UpdateIndicators();

  // View > Text: how TEXT is read and shown.
  TextOptionsMenu* TextMenu() const { return m_pTextMenu; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* CreateAction(int id);
  void CreateMenus();
  bool CreateToolBar();
  bool CreateStatusBar();
  // No larger than the screen's free area, its borders allowed for.
  void FitToScreen();

  FittingStatusBar* m_wndStatusBar = nullptr;
  QToolBar* m_wndToolBar = nullptr;
  QLabel* m_pMessagePane = nullptr;
  QLabel* m_pCapIndicator = nullptr;
  QLabel* m_pNumIndicator = nullptr;
  QLabel* m_pScrlIndicator = nullptr;
  LineStatePanes* m_pLinePanes = nullptr;
  PortStatusPane* m_pPortPane = nullptr;
  QLabel* m_pFollowPane = nullptr;
  CZerikView* m_pView = nullptr;
  CFindBar* m_pFindBar = nullptr;
  QMenu* m_pContextMenu = nullptr;
  TextOptionsMenu* m_pTextMenu = nullptr;
  std::map<int, QAction*> m_actions;
};

}  // namespace tarnwick
