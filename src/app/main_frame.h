// The single top-level window: menus, the dockable toolbar and the status bar
// around the one view. Commands are QActions keyed by their numeric ids; the
// application and the view connect to them.
#pragma once

#include <QMainWindow>
#include <map>
#include <string>

class QLabel;
class QStatusBar;
class QToolBar;

namespace tarnwick {

class CZerikView;
class LineStatePanes;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // The document title part of the caption; the frame adds " - Tarnwick".
  void SetTitle(const std::string& title);

  // Puts the view in the frame and routes Copy All and Clear to it.
  void SetView(CZerikView* view);
  CZerikView* View() const { return m_pView; }

  // The action of a command the frame offers now, or nullptr.
  QAction* Action(int id) const;

  QToolBar* ToolBar() const { return m_wndToolBar; }
  QLabel* MessagePane() const { return m_pMessagePane; }
  QLabel* Indicator(const char* text) const;
  // The modem-line lamps, DTR/RTS toggles and error pane, before the indicators.
  LineStatePanes* LinePanes() const { return m_pLinePanes; }

  // Reads the lock keys again and lights the indicators that are on.
  void UpdateIndicators();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* CreateAction(int id);
  void CreateMenus();
  bool CreateToolBar();
  bool CreateStatusBar();

  QStatusBar* m_wndStatusBar = nullptr;
  QToolBar* m_wndToolBar = nullptr;
  QLabel* m_pMessagePane = nullptr;
  QLabel* m_pCapIndicator = nullptr;
  QLabel* m_pNumIndicator = nullptr;
  QLabel* m_pScrlIndicator = nullptr;
  LineStatePanes* m_pLinePanes = nullptr;
  CZerikView* m_pView = nullptr;
  std::map<int, QAction*> m_actions;
};

}  // namespace tarnwick
