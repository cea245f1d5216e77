#include "app/qt/help_key.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace tarnwick {

HelpKey::HelpKey(std::function<void()> onHelp, QObject* parent)
    : QObject(parent), m_onHelp(std::move(onHelp)) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
  // A shortcut (the frame's F1) consumes its key press before any widget
  // sees it, so a press that arrives here was meant for no command.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat()) {
      if (m_onHelp) m_onHelp();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tarnwick
