#include "display/unit_settings.h"

#include <algorithm>
#include <bit>

#include "display/unit_formatter.h"

namespace tarnwick {

UnitSettings ReadUnitSettings(const SETTINGS& settings) {
  UnitSettings s;
  // A unit holds 1 to 4 bytes: a length index from a hand-edited record
  // outside 0..3 is clamped into that range.
  s.nUnitLength = std::clamp<std::int32_t>(settings.nUnitLengthIndex, 0, 3) + 1;
  s.nFormat = settings.nUnitFormatIndex;
  s.bReverse = settings.bReverseBytes != 0;
  s.nColumns = settings.nColumns;
  // The trimming loop removes lines while there are at least nRows of them;
  // with nRows below 1 it would run on an empty list. Such a value keeps one
  // line; a huge one keeps kMaxDisplayRows, so a long stream cannot take all
  // memory. The record keeps what the user entered.
  s.nRows = std::clamp<std::int32_t>(settings.nRows, 1, kMaxDisplayRows);
  s.bLineMode = s.nFormat == kFormatText && s.nColumns == 0;
  s.bPlainFormat = s.nFormat >= kFormatText && s.nFormat <= kFormatFloat;
  s.bSaveText = settings.bSaveText != 0;
  return s;
}

UnitSettings ReadUnitSettings(const SETTINGS& settings, const DisplayOptions& options) {
  UnitSettings s = ReadUnitSettings(settings);
  if (s.nFormat == kFormatText && options.DecodesText()) {
    // A character may take several bytes: each byte is a unit of its own.
    s.nUnitLength = 1;
    s.bDecodedText = true;
  }
  return s;
}

std::uint32_t UnitBits(const UnitSettings& s, const std::uint8_t* bytes) {
  return UnitValue(bytes, s.nUnitLength, s.bReverse && s.nFormat != kFormatBinary);
}

double UnitNumber(const UnitSettings& s, std::uint32_t bits) {
  switch (s.nFormat) {
    case kFormatDec:
      return SignExtendUnit(bits, s.nUnitLength);
    case kFormatFloat:
      return std::bit_cast<float>(bits);
    default:
      return bits;
  }
}

}  // namespace tarnwick
