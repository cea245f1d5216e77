#include "dialogs/delimiter_text.h"

#include <optional>

namespace tarnwick {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return std::nullopt;
}

}  // namespace

std::string DelimiterText(char delimiter) {
  const auto byte = static_cast<unsigned char>(delimiter);
  if (byte >= 0x20 && byte <= 0x7F) return std::string(1, delimiter);
  return {'\\', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

char DelimiterFromText(std::string_view text) {
  if (text.empty()) return ' ';
  if (text.size() >= 3 && text[0] == '\\') {
    const std::optional<int> high = HexDigit(text[1]);
    const std::optional<int> low = HexDigit(text[2]);
    // Not an escape after all: the text stands for its first character, as
    // a backslash too short to be one does.
    if (high && low) return static_cast<char>((*high << 4) | *low);
  }
  return text[0];
}

}  // namespace tarnwick
