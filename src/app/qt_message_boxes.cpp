#include "app/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include "display/view/ansi_text.h"

namespace tarnwick {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

// Texts are single-byte in the display's code page, as everywhere in the
// program (a typed item may be part of one).
QString FromBytes(std::string_view text) { return AnsiToQString(text); }

}  // namespace

MessageResult QtMessageBoxes::Show(std::string_view text, std::string_view caption,
                                   MessageIcon icon, MessageButtons buttons) {
  const QMessageBox::StandardButtons qtButtons =
      buttons == MessageButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  // Without an owner of its own, a box asked for while a dialog runs stays
  // over that dialog.
  QWidget* owner = m_pOwner != nullptr ? m_pOwner : QApplication::activeModalWidget();
  QMessageBox box(ToQtIcon(icon), FromBytes(caption), FromBytes(text), qtButtons, owner);
  const int chosen = box.exec();
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return chosen == QMessageBox::Yes ? MessageResult::kYes : MessageResult::kNo;
}

}  // namespace tarnwick
