// Message boxes shown with QMessageBox: the caller's caption, text and icon,
// owned by the given window, else by the modal dialog running, else by none.
#pragma once

#include "platform/message_box.h"

class QWidget;

namespace tarnwick {

class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* owner = nullptr) : m_pOwner(owner) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons = MessageButtons::kOk) override;

 private:
  QWidget* m_pOwner;
};

}  // namespace tarnwick
