// Every unit format against the C runtime's own formatting, for every byte
// value, every unit length and both byte orders.
#include "display/unit_formatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace tarnwick {
namespace {

// Independent of the formatter: the value as the received bytes mean it.
std::uint32_t ReferenceValue(const std::vector<std::uint8_t>& bytes, bool reverse) {
  std::uint32_t value = 0;
  const int n = static_cast<int>(bytes.size());
  for (int i = 0; i < n; ++i) {
    const int shift = reverse ? 8 * i : 8 * (n - 1 - i);
    value |= static_cast<std::uint32_t>(bytes[i]) << shift;
  }
  return value;
}

std::string Printf(const char* format, auto... args) {
  char buffer[128];
  const int length = std::snprintf(buffer, sizeof buffer, format, args...);
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string ReferenceText(UnitFormat format, const std::vector<std::uint8_t>& bytes, bool reverse) {
  const int n = static_cast<int>(bytes.size());
  const std::uint32_t value = ReferenceValue(bytes, reverse);
  switch (format) {
    case kFormatHex:
      return Printf(" %0*X", 2 * n, value);
    case kFormatBinary: {
      std::string text = " ";
      for (std::uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) text += ((byte >> bit) & 1) ? '1' : '0';
      }
      return text;
    }
    case kFormatDec: {
      // Arithmetic right shift brings the unit's top bit down over the upper bytes.
      const int unused = 32 - 8 * n;
      const std::int32_t number = static_cast<std::int32_t>(value << unused) >> unused;
      return Printf(" %d", number);
    }
    case kFormatFloat: {
      float number;
      std::memcpy(&number, &value, sizeof number);
      return Printf(" %f", static_cast<double>(number));
    }
    default:
      return {};
  }
}

std::string FormatterText(UnitFormat format, const std::vector<std::uint8_t>& bytes, bool reverse) {
  const int n = static_cast<int>(bytes.size());
  const std::uint32_t value = UnitValue(bytes.data(), n, reverse);
  char out[kUnitTextCapacity];
  std::size_t length = 0;
  switch (format) {
    case kFormatHex:
      length = FormatHexUnit(value, n, out);
      break;
    case kFormatBinary:
      length = FormatBinaryUnit(bytes.data(), n, out);
      break;
    case kFormatDec:
      length = FormatDecUnit(value, n, out);
      break;
    case kFormatFloat:
      length = FormatFloatUnit(value, out);
      break;
    default:
      break;
  }
  return std::string(out, length);
}

// The bytes of a unit whose first received byte is b; the others vary with b
// so that every position sees many values.
std::vector<std::uint8_t> UnitStartingWith(int b, int n) {
  const std::uint8_t all[4] = {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b ^ 0xA5),
                               static_cast<std::uint8_t>(255 - b),
                               static_cast<std::uint8_t>(b * 37 + 11)};
  return {all, all + n};
}

constexpr UnitFormat kNumberFormats[] = {kFormatHex, kFormatBinary, kFormatDec, kFormatFloat};

TEST(UnitFormatter, EveryByteValueEveryLengthBothOrdersMatchesPrintf) {
  for (UnitFormat format : kNumberFormats) {
    for (int n = 1; n <= 4; ++n) {
      for (bool reverse : {false, true}) {
        for (int b = 0; b < 256; ++b) {
          const auto bytes = UnitStartingWith(b, n);
          ASSERT_EQ(FormatterText(format, bytes, reverse), ReferenceText(format, bytes, reverse))
              << "format " << format << " n " << n << " reverse " << reverse << " byte " << b;
        }
      }
    }
  }
}

TEST(UnitFormatter, RandomFourByteValuesMatchPrintf) {
  std::mt19937 random(20240611);
  for (int i = 0; i < 200000; ++i) {
    const std::uint32_t value = random();
    const std::vector<std::uint8_t> bytes = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    const UnitFormat format = kNumberFormats[i % 4];
    ASSERT_EQ(FormatterText(format, bytes, false), ReferenceText(format, bytes, false))
        << "format " << format << " value " << value;
  }
}

TEST(UnitFormatter, ExtremeValuesMatchPrintf) {
  const std::uint32_t values[] = {0x00000000, 0x80000000, 0x7FFFFFFF, 0xFFFFFFFF, 0x7F7FFFFF,
                                  0xFF7FFFFF, 0x00000001, 0x7F800000, 0xFF800000, 0x7FC00000};
  for (std::uint32_t value : values) {
    const std::vector<std::uint8_t> bytes = {
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    for (UnitFormat format : kNumberFormats) {
      EXPECT_EQ(FormatterText(format, bytes, false), ReferenceText(format, bytes, false))
          << "format " << format << " value " << value;
    }
  }
  char out[kUnitTextCapacity];
  // FLT_MAX and -FLT_MAX in fixed notation are the longest texts there are.
  EXPECT_EQ(FormatFloatUnit(0xFF7FFFFF, out), 48u);
}

// FLOAT is formatted without printf: every exponent, both signs, the mantissas
// at the ends of the range, halfway cases and many random ones.
TEST(UnitFormatter, FloatEveryExponentMatchesPrintf) {
  std::mt19937 random(77);
  for (std::uint32_t sign = 0; sign < 2; ++sign) {
    for (std::uint32_t exponent = 0; exponent < 256; ++exponent) {
      std::vector<std::uint32_t> mantissas = {0, 1, 2, 0x400000, 0x7FFFFF, 0x7FFFFE};
      for (int i = 0; i < 1500; ++i) mantissas.push_back(random() & 0x7FFFFF);
      for (int low = 1; low < 24; ++low)
        mantissas.push_back((random() & 0x7FFFFF) & ~((1u << low) - 1));
      for (std::uint32_t mantissa : mantissas) {
        const std::uint32_t value = (sign << 31) | (exponent << 23) | mantissa;
        const std::vector<std::uint8_t> bytes = {
            static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
        ASSERT_EQ(FormatterText(kFormatFloat, bytes, false),
                  ReferenceText(kFormatFloat, bytes, false))
            << std::hex << "bits 0x" << value;
      }
    }
  }
}

// Values whose seventh decimal is exactly 5: printf rounds these half to even.
TEST(UnitFormatter, FloatHalfwayCasesMatchPrintf) {
  for (int k = 1; k <= 30; ++k) {
    for (std::uint32_t m = 1; m < 4096; ++m) {
      const float number = std::ldexp(static_cast<float>(m), -k);
      std::uint32_t value;
      std::memcpy(&value, &number, 4);
      const std::vector<std::uint8_t> bytes = {
          static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
      ASSERT_EQ(FormatterText(kFormatFloat, bytes, false),
                ReferenceText(kFormatFloat, bytes, false))
          << m << " / 2^" << k;
    }
  }
}

// The screen shows what the formatter gives: all 256 units of each kind on one
// line of a model whose lines never end.
TEST(UnitFormatter, ScreenModelShowsTheSameUnitTexts) {
  for (UnitFormat format : kNumberFormats) {
    for (int n = 1; n <= 4; ++n) {
      for (bool reverse : {false, true}) {
        SETTINGS settings = DefaultSettings();
        settings.nUnitFormatIndex = format;
        settings.nUnitLengthIndex = n - 1;
        settings.bReverseBytes = reverse;
        settings.nColumns = 0;
        LiveSettings live(settings);
        ScreenModel model(live, nullptr);
        std::string expected;
        for (int b = 0; b < 256; ++b) {
          const auto bytes = UnitStartingWith(b, n);
          model.AddReceivedBytes(bytes.data(), bytes.size());
          expected += ReferenceText(format, bytes, reverse);
        }
        ASSERT_EQ(model.LineCount(), 1u);
        EXPECT_EQ(model.Lines()[0], expected)
            << "format " << format << " n " << n << " reverse " << reverse;
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick
