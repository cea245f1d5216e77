#include "display/unit_formatter.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

namespace tarnwick {
namespace {

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

constexpr auto kHexPairs = MakeHexPairs();
constexpr auto kBitOctets = MakeBitOctets();
constexpr auto kDecimalPairs = MakeDecimalPairs();

}  // namespace

std::size_t FormatHexUnit(std::uint32_t value, int n, char* out) {
  // The value of an n-byte unit never needs more than the 2n digits the
  // width asks for, so every byte gives exactly two digits.
  char* p = out;
  *p++ = ' ';
  for (int i = n - 1; i >= 0; --i) {
    const unsigned byte = (value >> (8 * i)) & 0xFF;
    std::memcpy(p, &kHexPairs[2 * byte], 2);
    p += 2;
  }
  return static_cast<std::size_t>(p - out);
}

std::size_t FormatBinaryUnit(const std::uint8_t* bytes, int n, char* out) {
  char* p = out;
  *p++ = ' ';
  for (int i = 0; i < n; ++i) {
    std::memcpy(p, &kBitOctets[8 * bytes[i]], 8);
    p += 8;
  }
  return static_cast<std::size_t>(p - out);
}

std::int32_t SignExtendUnit(std::uint32_t value, int n) {
  if (n < 4 && (value & (1u << (8 * n - 1)))) value |= ~((1u << (8 * n)) - 1u);
  return std::bit_cast<std::int32_t>(value);
}

std::size_t FormatDecUnit(std::uint32_t value, int n, char* out) {
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
    std::memcpy(p, &kDecimalPairs[2 * pair], 2);
  }
  if (magnitude >= 10) {
    p -= 2;
    std::memcpy(p, &kDecimalPairs[2 * magnitude], 2);
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

std::size_t FormatFloatUnit(std::uint32_t value, char* out) {
  const double number = std::bit_cast<float>(value);
  const int length = std::snprintf(out, kUnitTextCapacity, " %f", number);
  if (length < 0) return 0;
  return static_cast<std::size_t>(length) < kUnitTextCapacity ? static_cast<std::size_t>(length)
                                                              : kUnitTextCapacity - 1;
}

}  // namespace tarnwick
