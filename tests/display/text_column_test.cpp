#include "display/text_column.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>

#include "display/screen_model.h"
#include "display/unit_formatter.h"
#include "settings/live_settings.h"
#include "settings/settings.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

// Bytes in, Copy All out with the characters beside the units, through the
// screen model: each input is fed whole and again split into reads at every
// point, so units and lines that straddle reads are covered.
TEST(TextColumn, CopyAllLinesWithTheirCharacters) {
  const struct {
    const char* name;
    std::int32_t format, lengthIndex, columns;
    bool reverse;
    std::string input;
    std::string copy;
  } cases[] = {
      {"HEX 1-byte, 16 columns, partial line", kFormatHex, 0, 16, false, "Hi\r\n",
       " 48 69 0D 0A" + std::string(36, ' ') + "  Hi..\r\n"},
      {"HEX full lines and a partial unit left out", kFormatHex, 1, 2, false, "abcdefg",
       " 6162 6364  abcd\r\n 6566" + std::string(5, ' ') + "  ef\r\n"},
      {"HEX 2-byte reversed: characters in arrival order", kFormatHex, 1, 3, true, "ab",
       " 6261" + std::string(10, ' ') + "  ab\r\n"},
      {"BINARY 1-byte", kFormatBinary, 0, 2, false, " \x7F~",
       " 00100000 01111111   .\r\n 01111110" + std::string(9, ' ') + "  ~\r\n"},
      {"DEC 1-byte: widest -128", kFormatDec, 0, 3, false, "\x01\xFF",
       " 1 -1" + std::string(10, ' ') + "  ..\r\n"},
      {"DEC 2-byte reversed", kFormatDec, 1, 2, true, "\x01\x02",
       " 513" + std::string(10, ' ') + "  ..\r\n"},
      {"FLOAT 4-byte: widest 48", kFormatFloat, 3, 1, false, std::string("\0\0\x80\x3F", 4),
       " 0.000000" + std::string(39, ' ') + "  ...?\r\n"},
      {"no column count", kFormatHex, 0, 0, false, "12", " 31 32  12\r\n"},
      {"more bytes than a line keeps inline", kFormatHex, 1, 10, false, "0123456789abcdefghij",
       " 3031 3233 3435 3637 3839 6162 6364 6566 6768 696A  0123456789abcdefghij\r\n"},
      {"negative column count", kFormatDec, 0, -1, false, "A\x80", " 65  A\r\n -128  .\r\n"},
      {"TEXT unchanged", kFormatText, 0, 0, false, "Hi\r\nyo", "Hi\r\nyo\r\n"},
      {"Unknown Format unchanged", 9, 0, 8, false, "x", "Unknown Format\r\n"},
  };
  for (const auto& c : cases) {
    for (std::size_t split = 0; split <= c.input.size(); ++split) {
      SETTINGS settings = DefaultSettings();
      settings.nUnitFormatIndex = c.format;
      settings.nUnitLengthIndex = c.lengthIndex;
      settings.nColumns = c.columns;
      settings.bReverseBytes = c.reverse;
      settings.chDelimiter = static_cast<std::uint8_t>(',');  // read by nothing: changes no line
      settings.nRows = 100;
      DisplayOptions options;
      options.bTextBesideUnits = true;
      LiveSettings live(settings, options);
      ScreenModel model(live, nullptr);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.input.data());
      model.AddReceivedBytes(bytes, split);
      model.AddReceivedBytes(bytes + split, c.input.size() - split);
      EXPECT_EQ(model.CopyAllText(false, true), c.copy) << c.name << ", split at " << split;
    }
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
