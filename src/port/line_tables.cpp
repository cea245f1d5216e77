#include "port/line_tables.h"

#include <cstddef>

#include "port/dcb.h"

namespace tarnwick {

const std::array<std::uint8_t, 3> kStopBitsCodes = {kOneStopBit, kOne5StopBits, kTwoStopBits};

// List position, not the platform's code: index 1 is space, index 4 is odd.
const std::array<std::uint8_t, 5> kParityCodes = {kNoParity, kSpaceParity, kMarkParity, kEvenParity,
                                                  kOddParity};

const std::array<std::uint32_t, 3> kDtrControlCodes = {kDtrControlDisable, kDtrControlEnable,
                                                       kDtrControlHandshake};
const std::array<std::uint32_t, 4> kRtsControlCodes = {kRtsControlDisable, kRtsControlEnable,
                                                       kRtsControlHandshake, kRtsControlToggle};

const std::array<std::string_view, 15> kBaudPieces = {
    ";110",   ";300",   ";600",   ";1200",  ";2400",   ";4800",   ";9600",  ";14400",
    ";19200", ";38400", ";56000", ";57600", ";115200", ";128000", ";256000"};
const std::array<std::string_view, 3> kStopBitsPieces = {";1 stop", ";1.5 stop", ";2 stop"};
const std::array<std::string_view, 5> kParityPieces = {
    ";PARITY=NO", ";PARITY=SPACE", ";PARITY=MARK", ";PARITY=EVEN", ";PARITY=ODD"};
const std::array<std::string_view, 3> kDtrPieces = {";DTR=DISABLE", ";DTR=ENABLE",
                                                    ";DTR=HANDSHAKE"};
const std::array<std::string_view, 4> kRtsPieces = {";RTS=DISABLE", ";RTS=ENABLE", ";RTS=HANDSHAKE",
                                                    ";RTS=TOGGLE"};

namespace {

int IndexOrDefault(std::int32_t value, std::size_t count, std::int32_t fallback) {
  return value >= 0 && static_cast<std::size_t>(value) < count ? value : fallback;
}

}  // namespace

LineIndexes CheckedLineIndexes(const SETTINGS& settings) {
  // The defaults come from the record's own construction, so there is one
  // place that says what they are.
  static const SETTINGS defaults = DefaultSettings();
  return {
      IndexOrDefault(settings.nPortIndex, kPortCount, defaults.nPortIndex),
      IndexOrDefault(settings.nBaudIndex, kBaudRates.size(), defaults.nBaudIndex),
      IndexOrDefault(settings.nDataBitsIndex, kDataBitsCount, defaults.nDataBitsIndex),
      IndexOrDefault(settings.nStopBitsIndex, kStopBitsCodes.size(), defaults.nStopBitsIndex),
      IndexOrDefault(settings.nParityIndex, kParityCodes.size(), defaults.nParityIndex),
      IndexOrDefault(settings.nDtrIndex, kDtrControlCodes.size(), defaults.nDtrIndex),
      IndexOrDefault(settings.nRtsIndex, kRtsControlCodes.size(), defaults.nRtsIndex),
  };
}

}  // namespace tarnwick
