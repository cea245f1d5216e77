#include "transmit/qt/send_text.h"

#include "display/ansi_code_page.h"
#include "display/view/ansi_text.h"

namespace tarnwick {

// One pass over what may be megabytes of text: as QStringToAnsi maps it, with
// the line breaks made CR LF on the way.
std::string SendBytesFromText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()) + static_cast<std::size_t>(text.size()) / 16);
  const QChar* p = text.constData();
  const QChar* const end = p + text.size();
  for (; p != end; ++p) {
    const char16_t c = p->unicode();
    if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      bytes += "\r\n";
    } else if (QChar::isHighSurrogate(c) && p + 1 != end && p[1].isLowSurrogate()) {
      ++p;
      bytes.push_back('?');  // beyond the code page, one character
    } else {
      bytes.push_back(static_cast<char>(UnicodeToAnsi(c)));
    }
  }
  return bytes;
}

QString TextFromSendBytes(std::string_view bytes) {
  QString text = AnsiToQString(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace tarnwick
