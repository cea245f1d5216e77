// Message boxes shown with QMessageBox: the caller's caption, text and icon,
// owned by the given window, else by the modal dialog running, else by the
// window the user is working in (none at start-up and exit).
#pragma once

#include <QString>

#include "platform/message_box.h"

class QWidget;

namespace tarnwick {

class QtMessageBoxes : public MessageBoxes {
 public:
  // Longer texts (a token of megabytes that failed to parse) are cut to this
  // many characters on the screen; the caller's text stays whole.
  static constexpr qsizetype kMaxShownChars = 300;

  explicit QtMessageBoxes(QWidget* owner = nullptr) : m_pOwner(owner) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons = MessageButtons::kOk) override;
  MessageResult ShowPath(std::string_view path, std::string_view caption,
                         MessageIcon icon) override;

  // What a box shows for a text: cut to kMaxShownChars with an ellipsis.
  static QString ShownText(QString text);

 private:
  MessageResult Exec(const QString& text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons);

  QWidget* m_pOwner;
};

}  // namespace tarnwick
