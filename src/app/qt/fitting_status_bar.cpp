#include "app/qt/fitting_status_bar.h"

#include <QEvent>
#include <QSizeGrip>
#include <algorithm>

namespace tarnwick {
namespace {

// What QStatusBar puts between and around its panes.
constexpr int kPaneSpacing = 6;
constexpr int kEdges = 8;

}  // namespace

FittingStatusBar::FittingStatusBar(QWidget* parent) : QStatusBar(parent) {
  // The panes a prompt left as they were are fitted to the bar as it is now.
  connect(this, &QStatusBar::messageChanged, this, [this](const QString& message) {
    if (message.isEmpty()) Fit();
  });
}

void FittingStatusBar::AddDroppable(QWidget* widget) {
  m_droppable.push_back(widget);
  Fit();
}

bool FittingStatusBar::Dropped(const QWidget* widget) const {
  return std::find(m_droppable.begin(), m_droppable.end(), widget) != m_droppable.end() &&
         widget->isHidden();
}

QSize FittingStatusBar::minimumSizeHint() const {
  return {0, QStatusBar::minimumSizeHint().height()};
}

bool FittingStatusBar::event(QEvent* event) {
  const bool handled = QStatusBar::event(event);
  // A pane's text or visibility changed what it asks for.
  if (event->type() == QEvent::LayoutRequest) Fit();
  return handled;
}

void FittingStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  Fit();
}

void FittingStatusBar::Fit() {
  // Showing or hiding a pane asks for a new layout, which comes back here.
  // While a prompt is shown the bar has hidden its message panes for it:
  // the room they leave is not for long, and the panes stay as they are.
  if (m_bFitting || !currentMessage().isEmpty()) return;
  m_bFitting = true;
  int room = width() - kEdges;
  // The panes that stay, at the width they ask for.
  for (QObject* child : children()) {
    auto* pane = qobject_cast<QWidget*>(child);
    if (pane == nullptr || pane->isWindow() || pane->isHidden()) continue;
    if (std::find(m_droppable.begin(), m_droppable.end(), pane) != m_droppable.end()) continue;
    if (qobject_cast<QSizeGrip*>(pane) != nullptr) {
      room -= pane->sizeHint().width();
      continue;
    }
    room -= pane->sizeHint().width() + kPaneSpacing;
  }
  // The most important first; once one is dropped, so is every one after it.
  bool fits = true;
  for (auto it = m_droppable.rbegin(); it != m_droppable.rend(); ++it) {
    QWidget* pane = *it;
    const int wanted = pane->sizeHint().width() + kPaneSpacing;
    fits = fits && wanted <= room;
    if (fits) room -= wanted;
    if (pane->isHidden() == fits) pane->setVisible(fits);
  }
  m_bFitting = false;
}

}  // namespace tarnwick
