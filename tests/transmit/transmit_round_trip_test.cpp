// Bytes written out as HEX, BIN and DEC text the way a user would type them
// must come back as the same bytes, for every unit length and byte order.
#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/recording_message_boxes.h"
#include "transmit/transmit_parser.h"

namespace tarnwick {
namespace {

using testing::RecordingMessageBoxes;
using Bytes = std::vector<unsigned char>;

struct Layout {
  std::int32_t format;
  std::uint32_t unit;
  bool reverse;
};

std::uint32_t UnitValue(const Bytes& bytes, std::size_t at, const Layout& layout) {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < layout.unit; ++i) {
    const std::uint32_t byte = bytes[at + (layout.reverse ? layout.unit - 1 - i : i)];
    value = (value << 8) | byte;
  }
  return value;
}

std::string Digits(std::uint32_t value, unsigned base, std::size_t minWidth) {
  std::string text;
  do {
    text.insert(text.begin(), "0123456789ABCDEF"[value % base]);
    value /= base;
  } while (value != 0);
  if (text.size() < minWidth) text.insert(0, minWidth - text.size(), '0');
  return text;
}

// One unit as typed: sometimes padded to full width, HEX in mixed case.
std::string UnitText(std::uint32_t value, const Layout& layout, std::mt19937& rng) {
  const bool pad = rng() % 2 == 0;
  switch (layout.format) {
    case kTxFormatHex: {
      std::string text = Digits(value, 16, pad ? 2 * layout.unit : 1);
      for (char& c : text)
        if (rng() % 2) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return text;
    }
    case kTxFormatBin:
      return Digits(value, 2, pad ? 8 * layout.unit : 1);
    default: {
      const std::uint32_t signBit = 1u << (8 * layout.unit - 1);
      const bool negative = (value & signBit) != 0;
      const std::uint32_t magnitude = negative ? (2 * signBit - value) : value;
      return (negative ? "-" : "") + Digits(magnitude, 10, pad ? 10 : 1);
    }
  }
}

// Every one-byte value for u = 1, random units otherwise; DEC leaves out the
// two's-complement minimum, which it cannot express.
Bytes UnitBytes(const Layout& layout, std::mt19937& rng) {
  Bytes bytes;
  const std::size_t units = layout.unit == 1 ? 256 : 300;
  for (std::size_t n = 0; n < units; ++n) {
    Bytes unit(layout.unit);
    for (auto& b : unit) b = static_cast<unsigned char>(layout.unit == 1 ? n : rng());
    if (n == 1) std::fill(unit.begin(), unit.end(), 0xFF);
    if (n == 2) std::fill(unit.begin(), unit.end(), 0x00);
    const std::size_t signByte = layout.reverse ? layout.unit - 1 : 0;
    bool isMinimum = unit[signByte] == 0x80;
    for (std::size_t i = 0; i < layout.unit; ++i)
      if (i != signByte && unit[i] != 0) isMinimum = false;
    if (layout.format == kTxFormatDec && isMinimum) continue;
    bytes.insert(bytes.end(), unit.begin(), unit.end());
  }
  return bytes;
}

TEST(RoundTrip, EveryFormatUnitLengthAndByteOrder) {
  const char* separators[] = {" ", "\r\n", "  ", "\n", " \r\n "};
  for (std::int32_t format : {kTxFormatHex, kTxFormatBin, kTxFormatDec}) {
    for (std::uint32_t unit = 1; unit <= 4; ++unit) {
      for (bool reverse : {false, true}) {
        const Layout layout{format, unit, reverse};
        SCOPED_TRACE(::testing::Message()
                     << "format " << format << " unit " << unit << " reverse " << reverse);
        std::mt19937 rng(format * 100 + unit * 10 + reverse);
        const Bytes bytes = UnitBytes(layout, rng);
        std::string text = rng() % 2 ? "\r\n" : "";
        for (std::size_t at = 0; at < bytes.size(); at += unit)
          text += UnitText(UnitValue(bytes, at, layout), layout, rng) + separators[rng() % 5];

        RecordingMessageBoxes boxes;
        TransmitParser parser(boxes);
        parser.m_nFormat = format;
        parser.m_nUnitIndex = static_cast<std::int32_t>(unit - 1);
        parser.m_bReverse = reverse;
        parser.m_strText = text;
        ASSERT_TRUE(parser.ParseInput());
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(Bytes(parser.m_pBuffer, parser.m_pBuffer + parser.m_nDataLength), bytes);
      }
    }
  }
}

TEST(RoundTrip, AsciiEscapesEveryByteValue) {
  std::string text;
  Bytes expected;
  for (int b = 0; b < 256; ++b) {
    const std::string hex = Digits(static_cast<std::uint32_t>(b), 16, 2);
    text += "\\" + (b % 2 ? hex
                          : std::string{static_cast<char>(std::tolower(hex[0])),
                                        static_cast<char>(std::tolower(hex[1]))});
    expected.push_back(static_cast<unsigned char>(b));
  }
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_strText = text;
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_EQ(Bytes(parser.m_pBuffer, parser.m_pBuffer + parser.m_nDataLength), expected);
}

TEST(RoundTrip, FloatTextGivesTheSameFloatPattern) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-1e6f, 1e6f);
  for (bool reverse : {false, true}) {
    std::string text;
    Bytes expected;
    for (int n = 0; n < 200; ++n) {
      const float f = dist(rng);
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.9g ", static_cast<double>(f));
      text += buf;
      const auto bits = std::bit_cast<std::uint32_t>(f);
      for (int i = 0; i < 4; ++i) {
        const int shift = reverse ? 8 * i : 8 * (3 - i);
        expected.push_back(static_cast<unsigned char>(bits >> shift));
      }
    }
    RecordingMessageBoxes boxes;
    TransmitParser parser(boxes);
    parser.m_nFormat = kTxFormatFloat;
    parser.m_bReverse = reverse;
    parser.m_strText = text;
    ASSERT_TRUE(parser.ParseInput());
    EXPECT_EQ(Bytes(parser.m_pBuffer, parser.m_pBuffer + parser.m_nDataLength), expected);
  }
}

}  // namespace
}  // namespace tarnwick
