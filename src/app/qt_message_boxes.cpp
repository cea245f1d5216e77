#include "app/qt_message_boxes.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

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

// Only so much of a huge text is worth decoding: enough bytes for the shown
// characters whatever their encoding, and one more to know it was cut.
std::string_view Head(std::string_view bytes) {
  constexpr std::size_t kHeadBytes = 4 * QtMessageBoxes::kMaxShownChars + 4;
  return bytes.size() > kHeadBytes ? bytes.substr(0, kHeadBytes) : bytes;
}

}  // namespace

QString QtMessageBoxes::ShownText(QString text) {
  if (text.size() <= kMaxShownChars) return text;
  qsizetype cut = kMaxShownChars;
  if (text.at(cut - 1).isHighSurrogate()) --cut;  // never half a character
  text.truncate(cut);
  return text + QChar(0x2026);
}

// Texts are single-byte, as everywhere in the program: the display's code page.
MessageResult QtMessageBoxes::Show(std::string_view text, std::string_view caption,
                                   MessageIcon icon, MessageButtons buttons) {
  return Exec(AnsiToQString(Head(text)), caption, icon, buttons);
}

MessageResult QtMessageBoxes::ShowPath(std::string_view path, std::string_view caption,
                                       MessageIcon icon) {
  const std::string_view head = Head(path);
  return Exec(QFile::decodeName(QByteArray(head.data(), static_cast<qsizetype>(head.size()))),
              caption, icon, MessageButtons::kOk);
}

MessageResult QtMessageBoxes::Exec(const QString& text, std::string_view caption, MessageIcon icon,
                                   MessageButtons buttons) {
  const QMessageBox::StandardButtons qtButtons =
      buttons == MessageButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  // Without an owner of its own, a box stays over the dialog that runs, else
  // over the window the user is working in.
  QWidget* owner = m_pOwner;
  if (owner == nullptr) owner = QApplication::activeModalWidget();
  if (owner == nullptr) owner = QApplication::activeWindow();
  QMessageBox box(ToQtIcon(icon), AnsiToQString(caption), ShownText(text), qtButtons, owner);
  const int chosen = box.exec();
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return chosen == QMessageBox::Yes ? MessageResult::kYes : MessageResult::kNo;
}

}  // namespace tarnwick
