// The record after the Screen Settings dialog: unit lengths forced by FLOAT
// and TEXT, and Columns 0 only where it means "no break".
#include "dialogs/screen_settings_corrections.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarnwick {
namespace {

TEST(ScreenSettingsCorrections, ForceLengthsAndColumns) {
  const struct {
    const char* name;
    std::int32_t format, length, columns;
    std::int32_t lengthAfter, columnsAfter;
  } cases[] = {
      {"FLOAT with 2 bytes takes 4", kFormatFloat, 1, 4, 3, 4},
      {"TEXT with 4 bytes takes 1", kFormatText, 3, 8, 0, 8},
      {"TEXT keeps Columns 0", kFormatText, 0, 0, 0, 0},
      {"HEX with Columns 0 gets 1", kFormatHex, 1, 0, 1, 1},
      {"DEC keeps its length and columns", kFormatDec, 2, 5, 2, 5},
      {"no format selected: only Columns", -1, 2, 0, 2, 1},
      {"format outside the list: only Columns", 7, 5, 0, 5, 1},
  };
  for (const auto& c : cases) {
    SETTINGS settings = DefaultSettings();
    settings.nUnitFormatIndex = c.format;
    settings.nUnitLengthIndex = c.length;
    settings.nColumns = c.columns;
    SETTINGS expected = settings;
    expected.nUnitLengthIndex = c.lengthAfter;
    expected.nColumns = c.columnsAfter;
    CorrectScreenSettings(settings);
    EXPECT_EQ(std::memcmp(&settings, &expected, sizeof settings), 0) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
