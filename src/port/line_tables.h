// The line-setting tables: what each index field of the settings record means
// on the wire and in the line summary. The index order is the order of the
// Port Settings lists.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/settings.h"

namespace tarnwick {

inline constexpr int kPortCount = 99;     // COM1 .. COM99
inline constexpr int kDataBitsCount = 4;  // 5 .. 8 data bits

inline constexpr std::array<std::uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                             4800,  9600,  14400,  19200,  38400,
                                                             56000, 57600, 115200, 128000, 256000};

extern const std::array<std::uint8_t, 3> kStopBitsCodes;
extern const std::array<std::uint8_t, 5> kParityCodes;
extern const std::array<std::uint32_t, 3> kDtrControlCodes;
extern const std::array<std::uint32_t, 4> kRtsControlCodes;

extern const std::array<std::string_view, 15> kBaudPieces;
extern const std::array<std::string_view, 3> kStopBitsPieces;
extern const std::array<std::string_view, 5> kParityPieces;
extern const std::array<std::string_view, 3> kDtrPieces;
extern const std::array<std::string_view, 4> kRtsPieces;

// The line-setting indexes of a record, each one a valid table position. A
// field outside its table (a hand-edited or corrupt file, -1 from a list left
// without a selection) reads as that field's default, so the tables are never
// indexed with an unchecked value and the DCB and summary agree.
struct LineIndexes {
  int nPortIndex;
  int nBaudIndex;
  int nDataBitsIndex;
  int nStopBitsIndex;
  int nParityIndex;
  int nDtrIndex;
  int nRtsIndex;
};

LineIndexes CheckedLineIndexes(const SETTINGS& settings);

}  // namespace tarnwick
