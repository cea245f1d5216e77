// The display fields of the settings as one complete unit sees them,
// corrected into the ranges the formatter needs. The screen model reads them
// once per received run and hands the same reading to its observers.
#pragma once

#include <cstdint>

#include "settings/display_options.h"
#include "settings/settings.h"

namespace tarnwick {

// The most lines the screen keeps, whatever Rows says.
inline constexpr std::int32_t kMaxDisplayRows = 1'000'000;

struct UnitSettings {
  int nUnitLength;  // 1..4 bytes
  std::int32_t nFormat;
  bool bReverse;
  std::int32_t nColumns;
  std::int32_t nRows;  // 1..kMaxDisplayRows
  bool bLineMode;      // TEXT with no column count: CR ends lines, LF is dropped
  bool bPlainFormat;   // one of the five formats, not "Unknown Format"
  bool bSaveText;
  // TEXT goes through the text stage (see text_stage.h), in 1-byte units.
  bool bDecodedText = false;
};

UnitSettings ReadUnitSettings(const SETTINGS& settings);
// The same with the options that change how TEXT is read.
UnitSettings ReadUnitSettings(const SETTINGS& settings, const DisplayOptions& options);

// A complete unit's bits as the screen reads them: BINARY shows the bytes as
// they came, every other format honours "Reverse bytes".
std::uint32_t UnitBits(const UnitSettings& s, const std::uint8_t* bytes);

// The number a unit of a numeric format stands for: HEX and BINARY unsigned,
// DEC signed, FLOAT the float itself (which may be NaN or infinite).
double UnitNumber(const UnitSettings& s, std::uint32_t bits);

}  // namespace tarnwick
