#include "display/unit_formatter.h"

#include <bit>
#include <cstdio>

namespace tarnwick {
namespace {

std::size_t PrintfFloat(std::uint32_t value, char* out) {
  const double number = std::bit_cast<float>(value);
  const int length = std::snprintf(out, kUnitTextCapacity, " %f", number);
  if (length < 0) return 0;
  return static_cast<std::size_t>(length) < kUnitTextCapacity ? static_cast<std::size_t>(length)
                                                              : kUnitTextCapacity - 1;
}

#ifdef __SIZEOF_INT128__
using Uint128 = unsigned __int128;

// Writes the decimal digits of value ending just before end; returns the first.
char* DigitsBefore(char* end, Uint128 value) {
  do {
    *--end = static_cast<char>('0' + static_cast<unsigned>(value % 10));
    value /= 10;
  } while (value != 0);
  return end;
}

// " %f" of a float widened to double, exactly as a correctly rounding printf
// gives it (round half to even on the exact binary value). Every finite float
// is a 24-bit integer times a power of two, so 128-bit integers hold it whole.
std::size_t ExactFixedFloat(std::uint32_t bits, char* out) {
  const bool negative = (bits >> 31) != 0;
  const unsigned exponentField = (bits >> 23) & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  const std::uint32_t mantissa = exponentField ? (fraction | 0x800000) : fraction;
  const int exponent = exponentField ? static_cast<int>(exponentField) - 150 : -149;

  Uint128 integer;
  std::uint32_t micros;  // the six digits after the point
  if (exponent >= 0) {
    integer = static_cast<Uint128>(mantissa) << exponent;
    micros = 0;
  } else {
    const int shift = -exponent;  // 1..149
    integer = shift < 32 ? mantissa >> shift : 0;
    const std::uint64_t below = shift < 32 ? mantissa & ((1u << shift) - 1) : mantissa;
    // below / 2^shift is the part after the point, below 2^24: times 10^6 it
    // stays under 2^44, so 128 bits hold the product and the comparison.
    const Uint128 scaled = static_cast<Uint128>(below) * 1000000u;
    Uint128 quotient = 0, remainder = scaled;
    if (shift < 64) {
      quotient = scaled >> shift;
      remainder = scaled - (quotient << shift);
    }
    const Uint128 twiceRemainder = remainder * 2;
    bool roundUp = false;
    if (shift < 100) {
      const Uint128 one = static_cast<Uint128>(1) << shift;
      roundUp = twiceRemainder > one || (twiceRemainder == one && (quotient & 1) != 0);
    }
    if (roundUp) ++quotient;
    if (quotient == 1000000) {
      quotient = 0;
      ++integer;
    }
    micros = static_cast<std::uint32_t>(quotient);
  }

  char digits[64];
  char* end = digits + sizeof digits;
  for (int i = 0; i < 6; ++i) {
    *--end = static_cast<char>('0' + micros % 10);
    micros /= 10;
  }
  *--end = '.';
  char* first = DigitsBefore(end, integer);
  if (negative) *--first = '-';
  *--first = ' ';
  const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - first);
  std::memcpy(out, first, length);
  return length;
}
#endif

}  // namespace

std::size_t FormatFloatUnit(std::uint32_t value, char* out) {
#ifdef __SIZEOF_INT128__
  // Infinities and NaNs keep the runtime's own spelling.
  if (((value >> 23) & 0xFF) != 0xFF) return ExactFixedFloat(value, out);
#endif
  return PrintfFloat(value, out);
}

}  // namespace tarnwick
