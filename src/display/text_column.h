// The characters of a line's bytes, shown after its units in the HEX, BINARY,
// DEC and FLOAT formats ("text beside units"). The units keep their text; the
// column only follows it, so a line without it reads exactly as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// Blanks between the units and the characters.
inline constexpr std::size_t kTextColumnGap = 2;

// How one line was laid out: the format, the unit length (1..4 bytes) and the
// column count its units were placed with.
struct TextColumnLayout {
  std::int32_t nFormat = 0;
  int nUnitLength = 1;
  std::int32_t nColumns = 0;
  // TEXT read through the text stage: the line's text is UTF-8 and its
  // style runs are kept where number lines keep their bytes.
  bool bDecodedText = false;

  friend bool operator==(const TextColumnLayout&, const TextColumnLayout&) = default;
};

// Whether lines of this format get the column: the four number formats.
bool HasTextColumn(std::int32_t format);

// The width one unit's text takes in the column's reckoning, its leading blank
// included: exact for HEX (1 + 2n) and BINARY (1 + 8n), whose texts all have
// one width; for DEC and FLOAT, whose texts vary, the widest the format can
// give at that length (DEC 5, 7, 9, 12; FLOAT 9 below four bytes, where every
// value is a tiny positive number, and 48 at four, -FLT_MAX in full).
std::size_t UnitTextWidth(std::int32_t format, int unitLength);

// Where the characters start on a line of unitsText: with a column count,
// that many units' widths (a line with fewer units is padded with blanks),
// otherwise right after the units; then the gap.
std::size_t TextColumnStart(const TextColumnLayout& layout, std::size_t unitsTextLength);

// The widest a line of widestUnits characters of units can be with the
// column, for the document's width: its bytes are at most what the narrowest
// unit text of the layout's format gives.
std::size_t WidestWithTextColumn(const TextColumnLayout& layout, std::size_t widestUnits);

// The byte as the column shows it: 0x20..0x7E as itself, anything else '.'.
inline char TextColumnChar(std::uint8_t b) {
  return b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
}

// Appends to out the line as shown with the column: unitsText, blanks up to
// the column's start, the gap, then one character per byte of bytes (the
// line's complete units in arrival order). Lines of other formats are
// appended as they are.
void AppendWithTextColumn(std::string& out, std::string_view unitsText, std::string_view bytes,
                          const TextColumnLayout& layout);

}  // namespace tarnwick
