// Turns one received unit (1 to 4 bytes) into the text the display appends for
// it. Output matches the C runtime's " %0*X", " %d" and " %f" byte for byte;
// the digits are produced by hand because printf dominates the receive path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick {

// Room for the longest unit text: " -340282346638528859811704183484516925440.000000"
// (FLT_MAX in fixed notation) is 48 characters.
constexpr std::size_t kUnitTextCapacity = 64;

inline constexpr std::string_view kUnknownFormatText = "Unknown Format";

// Folds the first n bytes (1..4) of a unit into a value. Without reverse the
// first received byte is the most significant; with it, the least.
inline std::uint32_t UnitValue(const std::uint8_t* bytes, int n, bool reverse) {
  std::uint32_t value = 0;
  if (reverse) {
    for (int i = n - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  } else {
    for (int i = 0; i < n; ++i) value = (value << 8) | bytes[i];
  }
  return value;
}

// Each writes the unit text into out (kUnitTextCapacity bytes) and returns its
// length. n is the unit length in bytes, 1..4.
std::size_t FormatHexUnit(std::uint32_t value, int n, char* out);
std::size_t FormatBinaryUnit(const std::uint8_t* bytes, int n, char* out);
std::size_t FormatDecUnit(std::uint32_t value, int n, char* out);
std::size_t FormatFloatUnit(std::uint32_t value, char* out);

// The value of an n-byte unit sign-extended to 32 bits, as DEC prints it.
std::int32_t SignExtendUnit(std::uint32_t value, int n);

}  // namespace tarnwick
