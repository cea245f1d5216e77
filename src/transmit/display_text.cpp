#include "transmit/display_text.h"

#include "display/code_pages.h"

namespace tarnwick {
namespace {

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// How many bytes the character at text[pos] takes: its whole sequence when
// it is well-formed UTF-8, else 1.
std::size_t CharacterLength(std::string_view text, std::size_t pos) {
  std::size_t length = 0;
  Utf8Decoder decoder;
  bool whole = false;
  for (std::size_t i = pos; i < text.size() && !whole; ++i) {
    bool bad = false;
    decoder.Feed(
        static_cast<std::uint8_t>(text[i]), [&](char32_t) { whole = true; },
        [&](const std::uint8_t*, std::size_t) { bad = true; });
    if (bad) return 1;
    ++length;
  }
  return whole ? length : 1;
}

}  // namespace

std::string EncodeDisplayText(std::string_view utf8, TextEncoding encoding) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t length = CharacterLength(utf8, pos);
    if (EncodeText(utf8.substr(pos, length), encoding, bytes)) bytes += '?';
    pos += length;
  }
  return bytes;
}

std::string DisplayTextProblem(std::string_view utf8, TextEncoding encoding) {
  std::string bytes;
  const std::optional<EncodeFailure> failure = EncodeText(utf8, encoding, bytes);
  return failure ? failure->strMessage : std::string();
}

void ReceivedTextDecoder::Decode(const std::uint8_t* data, std::size_t length, std::string& utf8) {
  if (m_encoding != TextEncoding::kUtf8) {
    for (std::size_t i = 0; i < length; ++i) AppendUtf8(CodePageChar(m_encoding, data[i]), utf8);
    return;
  }
  for (std::size_t i = 0; i < length; ++i) {
    m_utf8.Feed(
        data[i], [&](char32_t c) { AppendUtf8(c, utf8); },
        [&](const std::uint8_t*, std::size_t) { AppendUtf8(0xFFFD, utf8); });
  }
}

}  // namespace tarnwick
