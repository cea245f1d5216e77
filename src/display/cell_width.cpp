#include "display/cell_width.h"

#include <algorithm>

namespace tarnwick {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};

#include "display/cell_width_table.inc"

template <std::size_t N>
bool InRanges(const CodeRange (&ranges)[N], char32_t c) {
  const auto* end = ranges + N;
  const auto* found =
      std::upper_bound(ranges, end, c, [](char32_t v, const CodeRange& r) { return v < r.first; });
  return found != ranges && c <= (found - 1)->last;
}

}  // namespace

int CellWidth(char32_t c) {
  // Latin, Greek and Cyrillic letters and the controls before the first mark.
  if (c < 0x300) return 1;
  if (InRanges(kZeroWidth, c)) return 0;
  return InRanges(kDoubleWidth, c) ? 2 : 1;
}

char32_t DecodeUtf8At(std::string_view text, std::size_t at, std::size_t* length) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (n == 0 || at + n > text.size()) {
    *length = 1;
    return lead;
  }
  char32_t c = n == 1 ? lead : lead & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      *length = 1;
      return lead;
    }
    c = (c << 6) | (byte(i) & 0x3F);
  }
  *length = n;
  return c;
}

std::size_t AppendUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

std::size_t CellCount(std::string_view utf8) {
  std::size_t cells = 0;
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    if (static_cast<std::uint8_t>(utf8[at]) < 0x80) {
      length = 1;
      ++cells;
      continue;
    }
    cells += static_cast<std::size_t>(CellWidth(DecodeUtf8At(utf8, at, &length)));
  }
  return cells;
}

std::size_t CellOfByte(std::string_view utf8, std::size_t byte) {
  std::size_t cells = 0;
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    const int width = CellWidth(DecodeUtf8At(utf8, at, &length));
    if (byte < at + length) return cells;
    cells += static_cast<std::size_t>(width);
  }
  return cells;
}

std::size_t ByteOfCell(std::string_view utf8, std::size_t cell) {
  std::size_t cells = 0;
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    const int width = CellWidth(DecodeUtf8At(utf8, at, &length));
    // A mark belongs with the character before it.
    if (cells >= cell && (width > 0 || at == 0)) return at;
    cells += static_cast<std::size_t>(width);
  }
  return utf8.size();
}

}  // namespace tarnwick
