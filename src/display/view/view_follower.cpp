#include "display/view/view_follower.h"

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QScrollBar>

namespace tarnwick {

ViewFollower::ViewFollower(QAbstractScrollArea& area, bool enabled)
    : QObject(&area), m_area(area), m_rule(enabled) {
  QScrollBar* bar = m_area.verticalScrollBar();
  connect(bar, &QScrollBar::rangeChanged, this, &ViewFollower::OnRangeChanged);
  connect(bar, &QScrollBar::actionTriggered, this, &ViewFollower::OnAction);
  m_area.installEventFilter(this);
}

void ViewFollower::SetEnabled(bool enabled) {
  if (enabled == m_rule.Enabled()) return;
  m_rule.SetEnabled(enabled);
  if (m_rule.Following()) GoToEnd();
}

void ViewFollower::Jumped() { Report(m_rule.Jumped()); }

void ViewFollower::GoToEnd() {
  QScrollBar* bar = m_area.verticalScrollBar();
  bar->setValue(bar->maximum());
  Report(m_rule.UserMoved(true));
}

void ViewFollower::Report(FollowRule::Change change) {
  if (change == FollowRule::Change::kPaused) {
    emit FollowChanged(false,
                       QString::fromLatin1(kFollowPausedPrompt.data(),
                                           static_cast<qsizetype>(kFollowPausedPrompt.size())));
  } else if (change == FollowRule::Change::kResumed) {
    emit FollowChanged(true,
                       QString::fromLatin1(kFollowResumedPrompt.data(),
                                           static_cast<qsizetype>(kFollowResumedPrompt.size())));
  }
}

void ViewFollower::OnRangeChanged(int, int maximum) {
  QScrollBar* bar = m_area.verticalScrollBar();
  bar->setValue(m_rule.Position(bar->value(), maximum));
}

// Called with the slider already where the action takes it.
void ViewFollower::OnAction(int) {
  const QScrollBar* bar = m_area.verticalScrollBar();
  Report(m_rule.UserMoved(bar->sliderPosition() >= bar->maximum()));
}

bool ViewFollower::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_area && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_End && (mods == Qt::NoModifier || mods == Qt::ControlModifier)) {
      GoToEnd();
      return true;
    }
    if (key->key() == Qt::Key_Home && (mods == Qt::NoModifier || mods == Qt::ControlModifier)) {
      m_area.verticalScrollBar()->setValue(0);
      Report(m_rule.UserMoved(m_area.verticalScrollBar()->maximum() == 0));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarnwick
