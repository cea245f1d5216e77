#include "transmit/qt/send_text.h"

#include "display/view/ansi_text.h"

namespace tarnwick {

std::string SendBytesFromText(const QString& text) {
  QString lines = text;
  lines.replace(QChar::ParagraphSeparator, QChar::LineFeed);
  lines.replace(QChar::LineSeparator, QChar::LineFeed);
  lines.replace(QChar::LineFeed, QStringLiteral("\r\n"));
  return QStringToAnsi(lines);
}

QString TextFromSendBytes(std::string_view bytes) {
  QString text = AnsiToQString(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace tarnwick
