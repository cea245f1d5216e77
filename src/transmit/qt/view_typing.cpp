#include "transmit/qt/view_typing.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

namespace tarnwick {
namespace {

// The keys a terminal sends something else than their text for.
bool SpecialKey(int qtKey, TypedKey* key) {
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      *key = TypedKey::kEnter;
      return true;
    case Qt::Key_Backspace:
      *key = TypedKey::kBackspace;
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      *key = TypedKey::kTab;
      return true;
    case Qt::Key_Escape:
      *key = TypedKey::kEscape;
      return true;
    case Qt::Key_Up:
      *key = TypedKey::kUp;
      return true;
    case Qt::Key_Down:
      *key = TypedKey::kDown;
      return true;
    case Qt::Key_Right:
      *key = TypedKey::kRight;
      return true;
    case Qt::Key_Left:
      *key = TypedKey::kLeft;
      return true;
    case Qt::Key_Home:
      *key = TypedKey::kHome;
      return true;
    case Qt::Key_End:
      *key = TypedKey::kEnd;
      return true;
    case Qt::Key_Insert:
      *key = TypedKey::kInsert;
      return true;
    case Qt::Key_Delete:
      *key = TypedKey::kDelete;
      return true;
    case Qt::Key_PageUp:
      *key = TypedKey::kPageUp;
      return true;
    case Qt::Key_PageDown:
      *key = TypedKey::kPageDown;
      return true;
    default:
      return false;
  }
}

}  // namespace

CViewTyping::CViewTyping(QWidget& view, Services services)
    : QObject(&view), m_view(view), m_services(std::move(services)) {
  m_view.installEventFilter(this);
}

void CViewTyping::SetOn(bool on) { m_bOn = on; }

TypingOptions CViewTyping::Options() const {
  TypingOptions options;
  if (m_services.lineEnd) options.enter = m_services.lineEnd();
  return options;
}

std::string CViewTyping::BytesOf(const QKeyEvent& event) const {
  const Qt::KeyboardModifiers held = event.modifiers();
  KeyModifiers modifiers{(held & Qt::ShiftModifier) != 0, (held & Qt::ControlModifier) != 0,
                         (held & Qt::AltModifier) != 0};
  TypedKey key = TypedKey::kCharacter;
  std::string text;
  if (SpecialKey(event.key(), &key)) {
    if (event.key() == Qt::Key_Backtab) modifiers.shift = true;
  } else if (modifiers.ctrl) {
    // The key itself, without what Ctrl made of its text.
    const int code = event.key();
    if (code < 0x20 || code > 0x7E) return {};
    char c = static_cast<char>(code);
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    text.assign(1, c);
  } else {
    const QString typed = event.text();
    if (typed.isEmpty() || typed.at(0).unicode() < 0x20 || typed.at(0).unicode() == 0x7F) return {};
    text = typed.toStdString();
  }
  return KeyBytes(key, text, modifiers, Options(), m_services.encode);
}

bool CViewTyping::eventFilter(QObject* watched, QEvent* event) {
  if (!m_bOn || watched != &m_view) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Alt with a letter stays the menus' mnemonic; everything else the
    // device would get is taken before any shortcut sees it.
    if ((key->modifiers() & Qt::AltModifier) == 0 && !BytesOf(*key).empty()) {
      event->accept();
      return true;
    }
    return false;
  }
  if (event->type() == QEvent::KeyPress) {
    std::string bytes = BytesOf(*static_cast<QKeyEvent*>(event));
    if (bytes.empty()) return false;
    Send(std::move(bytes));
    return true;
  }
  return false;
}

void CViewTyping::Paste() {
  if (!m_bOn) return;
  const QString text = QGuiApplication::clipboard()->text();
  std::string bytes = PasteBytes(text.toStdString(), Options(), m_services.encode);
  if (bytes.empty()) return;
  if (bytes.size() > kPasteAskBytes && m_services.boxes != nullptr) {
    const std::string question =
        "Send " + std::to_string(bytes.size()) + " bytes from the clipboard to the device?";
    if (m_services.boxes->Show(question, "Paste to Device", MessageIcon::kQuestion,
                               MessageButtons::kYesNo) != MessageResult::kYes)
      return;
  }
  Send(std::move(bytes));
}

void CViewTyping::Send(std::string bytes) {
  const std::string refusal = m_services.send(std::move(bytes));
  if (!refusal.empty() && m_services.status) m_services.status(QString::fromStdString(refusal));
}

}  // namespace tarnwick
