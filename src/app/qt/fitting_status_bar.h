// The main window's status bar, fitted to the width the window has: it
// never makes the window wider, whatever its panes say. Panes with long texts
// shorten themselves (they ask for little at least); panes that cannot
// (lamps, lock-key indicators) are dropped, the least important first, while
// the rest would not have the room they ask for, and come back when the
// window is wide enough again.
#pragma once

#include <QStatusBar>
#include <vector>

namespace tarnwick {

class FittingStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit FittingStatusBar(QWidget* parent = nullptr);

  // widget, a permanent pane already added, may be dropped: before every
  // pane made droppable after it.
  void AddDroppable(QWidget* widget);
  // Whether widget is dropped for want of room now.
  bool Dropped(const QWidget* widget) const;

  // As narrow as a window may be: the panes fit themselves into what it gets.
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fit();

  // In the order they drop.
  std::vector<QWidget*> m_droppable;
  bool m_bFitting = false;
};

}  // namespace tarnwick
