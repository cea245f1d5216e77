#include "display/text_column.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>

#include "display/unit_formatter.h"
#include "settings/settings.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

// A line's units as shown, its bytes, and the line with the column.
TEST(TextColumn, LinesAsShownWithTheirCharacters) {
  const struct {
    const char* name;
    TextColumnLayout layout;
    std::string units;
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"HEX 1-byte, 16 columns, 4 units",
       {kFormatHex, 1, 16},
       " 48 69 0D 0A",
       "Hi\r\n",
       " 48 69 0D 0A" + std::string(36, ' ') + "  Hi.."},
      {"HEX full line", {kFormatHex, 1, 2}, " 41 7F", "A\x7F", " 41 7F  A."},
      {"HEX 2-byte reversed: characters in arrival order",
       {kFormatHex, 2, 3},
       " 6261",
       "ab",
       " 6261" + std::string(10, ' ') + "  ab"},
      {"BINARY 1-byte, 2 columns, 1 unit",
       {kFormatBinary, 1, 2},
       " 00100000",
       " ",
       " 00100000" + std::string(9, ' ') + "   "},
      {"DEC 1-byte: widest -128",
       {kFormatDec, 1, 3},
       " 1 -1",
       "\x01\xFF",
       " 1 -1" + std::string(10, ' ') + "  .."},
      {"FLOAT 4-byte: widest 48",
       {kFormatFloat, 4, 1},
       " 0.000000",
       "\0\0\0\0"s,
       " 0.000000" + std::string(39, ' ') + "  ...."},
      {"no column count: right after the units", {kFormatHex, 1, 0}, " 31 32", "12", " 31 32  12"},
      {"negative column count: one unit a line", {kFormatDec, 1, -1}, " 65", "A", " 65  A"},
      {"high bytes and DEL", {kFormatHex, 1, 3}, " 80 FF 7E", "\x80\xFF~", " 80 FF 7E  ..~"},
      {"TEXT unchanged", {kFormatText, 1, 0}, "Hi", "Hi", "Hi"},
      {"Unknown Format unchanged", {7, 1, 8}, "Unknown Format", "x", "Unknown Format"},
      {"more units than columns (count lowered)", {kFormatHex, 1, 1}, " 41 42", "AB", " 41 42  AB"},
  };
  for (const auto& c : cases) {
    std::string out = "prefix|";
    AppendWithTextColumn(out, c.units, c.bytes, c.layout);
    EXPECT_EQ(out, "prefix|" + c.shown) << c.name;
  }
}

// The width the column reckons a unit with is never narrower than a unit's
// text: otherwise a full line's characters would not line up.
TEST(TextColumn, NoUnitTextIsWiderThanItsReckonedWidth) {
  char text[kUnitTextCapacity];
  const std::uint32_t extremes[] = {0,           1,           0x7F,       0x80,     0xFF,
                                    0x8000,      0xFFFF,      0x800000,   0xFFFFFF, 0x80000000u,
                                    0xFFFFFFFFu, 0xFF7FFFFFu, 0x7F7FFFFFu};
  for (int n = 1; n <= 4; ++n) {
    std::size_t widestDec = 0, widestFloat = 0;
    for (std::uint32_t value : extremes) {
      value &= n == 4 ? 0xFFFFFFFFu : (1u << (8 * n)) - 1u;
      widestDec = std::max(widestDec, FormatDecUnit(value, n, text));
      widestFloat = std::max(widestFloat, FormatFloatUnit(value, text));
      EXPECT_EQ(FormatHexUnit(value, n, text), UnitTextWidth(kFormatHex, n));
    }
    EXPECT_EQ(widestDec, UnitTextWidth(kFormatDec, n)) << n;
    EXPECT_EQ(widestFloat, UnitTextWidth(kFormatFloat, n)) << n;
  }
}

}  // namespace
}  // namespace tarnwick
