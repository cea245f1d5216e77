// Byte strings of the display's code page as Qt text and back.
#pragma once

#include <QList>
#include <QString>
#include <string>
#include <string_view>

#include "display/ansi_code_page.h"

namespace tarnwick {

// One character per byte, whatever the byte.
inline QString AnsiToQString(std::string_view bytes) {
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char byte : bytes) *out++ = QChar(AnsiToUnicode(static_cast<std::uint8_t>(byte)));
  return text;
}

// One byte per character; a character outside the code page (a surrogate
// pair counts as one) becomes '?'.
inline std::string QStringToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (const char32_t c : text.toUcs4()) bytes.push_back(static_cast<char>(UnicodeToAnsi(c)));
  return bytes;
}

}  // namespace tarnwick
