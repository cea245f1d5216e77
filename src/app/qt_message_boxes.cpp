#include "app/qt_message_boxes.h"

#include <QMessageBox>
#include <QString>

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

// Texts are single-byte, as everywhere in the program.
QString FromBytes(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageResult QtMessageBoxes::Show(std::string_view text, std::string_view caption,
                                   MessageIcon icon, MessageButtons buttons) {
  const QMessageBox::StandardButtons qtButtons =
      buttons == MessageButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  QMessageBox box(ToQtIcon(icon), FromBytes(caption), FromBytes(text), qtButtons, m_pOwner);
  const int chosen = box.exec();
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return chosen == QMessageBox::Yes ? MessageResult::kYes : MessageResult::kNo;
}

}  // namespace tarnwick
