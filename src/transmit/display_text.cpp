#include "transmit/display_text.h"

#include "display/ansi_code_page.h"

namespace tarnwick {
namespace {

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character that begins text at *pos, moving *pos past it; U+FFFD for a
// byte that begins no well-formed character (it alone is taken).
char32_t NextCharacter(std::string_view text, std::size_t* pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*pos);
  std::size_t need = 0;
  char32_t c = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    ++*pos;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3, c = lead & 0x07, least = 0x10000;
  } else {
    ++*pos;
    return 0xFFFD;
  }
  if (*pos + need >= text.size()) {
    ++*pos;
    return 0xFFFD;
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if ((byte(*pos + i) & 0xC0) != 0x80) {
      ++*pos;
      return 0xFFFD;
    }
    c = (c << 6) | (byte(*pos + i) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++*pos;
    return 0xFFFD;
  }
  *pos += need + 1;
  return c;
}

}  // namespace

std::string EncodeDisplayText(std::string_view utf8) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = NextCharacter(utf8, &pos);
    bytes += static_cast<char>(c == 0xFFFD ? '?' : UnicodeToAnsi(c));
  }
  return bytes;
}

void ReceivedTextDecoder::Decode(const std::uint8_t* data, std::size_t length, std::string& utf8) {
  for (std::size_t i = 0; i < length; ++i) AppendUtf8(AnsiToUnicode(data[i]), utf8);
}

}  // namespace tarnwick
