// Turns one received unit (1 to 4 bytes) into the text the display appends for
// it. Output matches the C runtime's " %0*X", " %d" and " %f" byte for byte;
// the digits are produced by hand because printf dominates the receive path
// (only infinities and NaNs still go through printf, for its spelling).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

namespace detail {

constexpr std::array<char, 512> MakeHexPairs() {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<char, 512> pairs{};
  for (int v = 0; v < 256; ++v) {
    pairs[2 * v] = kDigits[v >> 4];
    pairs[2 * v + 1] = kDigits[v & 15];
  }
  return pairs;
}

constexpr std::array<char, 2048> MakeBitOctets() {
  std::array<char, 2048> octets{};
  for (int v = 0; v < 256; ++v) {
    for (int bit = 0; bit < 8; ++bit) octets[8 * v + bit] = (v & (0x80 >> bit)) ? '1' : '0';
  }
  return octets;
}

constexpr std::array<char, 200> MakeDecimalPairs() {
  std::array<char, 200> pairs{};
  for (int v = 0; v < 100; ++v) {
    pairs[2 * v] = static_cast<char>('0' + v / 10);
    pairs[2 * v + 1] = static_cast<char>('0' + v % 10);
  }
  return pairs;
}

inline constexpr auto kHexPairs = MakeHexPairs();
inline constexpr auto kBitOctets = MakeBitOctets();
inline constexpr auto kDecimalPairs = MakeDecimalPairs();

}  // namespace detail

// Each writes the unit text into out (kUnitTextCapacity bytes) and returns its
// length. n is the unit length in bytes, 1..4. Inline: they sit on the receive
// path, once per unit.
inline std::size_t FormatHexUnit(std::uint32_t value, int n, char* out) {
  // The value of an n-byte unit never needs more than the 2n digits the
  // width asks for, so every byte gives exactly two digits.
  char* p = out;
  *p++ = ' ';
  for (int i = n - 1; i >= 0; --i) {
    const unsigned byte = (value >> (8 * i)) & 0xFF;
    std::memcpy(p, &detail::kHexPairs[2 * byte], 2);
    p += 2;
  }
  return static_cast<std::size_t>(p - out);
}

inline std::size_t FormatBinaryUnit(const std::uint8_t* bytes, int n, char* out) {
  char* p = out;
  *p++ = ' ';
  for (int i = 0; i < n && i < 4; ++i) {  // a unit has at most four bytes
    std::memcpy(p, &detail::kBitOctets[8 * bytes[i]], 8);
    p += 8;
  }
  return static_cast<std::size_t>(p - out);
}

inline std::int32_t SignExtendUnit(std::uint32_t value, int n) {
  if (n < 4 && (value & (1u << (8 * n - 1)))) value |= ~((1u << (8 * n)) - 1u);
  return std::bit_cast<std::int32_t>(value);
}

inline std::size_t FormatDecUnit(std::uint32_t value, int n, char* out) {
  const std::int32_t number = SignExtendUnit(value, n);
  // Magnitude in unsigned arithmetic so INT32_MIN needs no special case.
  std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  char digits[10];
  char* end = digits + sizeof digits;
  char* p = end;
  while (magnitude >= 100) {
    const unsigned pair = magnitude % 100;
    magnitude /= 100;
    p -= 2;
    std::memcpy(p, &detail::kDecimalPairs[2 * pair], 2);
  }
  if (magnitude >= 10) {
    p -= 2;
    std::memcpy(p, &detail::kDecimalPairs[2 * magnitude], 2);
  } else {
    *--p = static_cast<char>('0' + magnitude);
  }
  char* q = out;
  *q++ = ' ';
  if (number < 0) *q++ = '-';
  const std::size_t count = static_cast<std::size_t>(end - p);
  std::memcpy(q, p, count);
  return static_cast<std::size_t>(q - out) + count;
}

// The value's bits as an IEEE single, widened to double, in fixed notation
// with six decimals.
std::size_t FormatFloatUnit(std::uint32_t value, char* out);

}  // namespace tarnwick
