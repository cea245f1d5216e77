#include "display/view/view_selector.h"

#include <QMouseEvent>
#include <QWidget>

namespace tarnwick {

ViewSelector::ViewSelector(QWidget& viewport, Locate locate, std::function<void()> repaint,
                           std::function<void()> finished)
    : QObject(&viewport),
      m_viewport(viewport),
      m_locate(std::move(locate)),
      m_repaint(std::move(repaint)),
      m_finished(std::move(finished)) {
  m_viewport.installEventFilter(this);
}

void ViewSelector::Clear() {
  if (m_selection.Empty()) return;
  m_selection.Clear();
  m_repaint();
}

bool ViewSelector::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &m_viewport) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) break;
      const Place place = m_locate(mouse->position().toPoint());
      const bool hadSelection = !m_selection.Empty();
      m_selection.Start(place.point, place.bMargin);
      m_bDragging = true;
      if (hadSelection || !m_selection.Empty()) m_repaint();
      return true;
    }
    case QEvent::MouseMove: {
      if (!m_bDragging) break;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      m_selection.Extend(m_locate(mouse->position().toPoint()).point);
      m_repaint();
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!m_bDragging || mouse->button() != Qt::LeftButton) break;
      m_selection.Extend(m_locate(mouse->position().toPoint()).point);
      m_bDragging = false;
      // A click in the text selects nothing; in the margin it selects its line.
      m_repaint();
      if (!m_selection.Empty() && m_finished) m_finished();
      return true;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarnwick
