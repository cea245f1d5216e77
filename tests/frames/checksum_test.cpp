// Every check against its published value for "123456789", and where a
// frame carries it.
#include "frames/checksum.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace tarnwick {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(Checksum, CheckValuesOf123456789) {
  const struct {
    ChecksumKind kind;
    Crc8Params crc8;
    std::uint32_t check;
    const char* name;
  } cases[] = {
      {ChecksumKind::kSum8, {}, 0xDD, "sum-8"},
      {ChecksumKind::kXor8, {}, 0x31, "XOR-8"},
      {ChecksumKind::kTwosSum8, {}, 0x23, "two's complement sum"},
      {ChecksumKind::kCrc8, {}, 0xF4, "CRC-8"},
      {ChecksumKind::kCrc8, {0x31, 0x00, true, true, 0x00}, 0xA1, "CRC-8/MAXIM-DOW"},
      {ChecksumKind::kCrc8, {0x07, 0xFF, true, true, 0x00}, 0xD0, "CRC-8/ROHC"},
      {ChecksumKind::kCrc8, {0x07, 0x00, false, false, 0x55}, 0xA1, "CRC-8/I-432-1"},
      {ChecksumKind::kCrc8, {0x1D, 0xFF, false, false, 0xFF}, 0x4B, "CRC-8/SAE-J1850"},
      {ChecksumKind::kCrc16Modbus, {}, 0x4B37, "CRC-16/MODBUS"},
      {ChecksumKind::kCrc16CcittFalse, {}, 0x29B1, "CRC-16/CCITT-FALSE"},
      {ChecksumKind::kCrc16Xmodem, {}, 0x31C3, "CRC-16/XMODEM"},
      {ChecksumKind::kCrc32, {}, 0xCBF43926, "CRC-32"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeChecksum(c.kind, Bytes("123456789"), c.crc8), c.check) << c.name;
    // Every name reads back as its kind.
    EXPECT_EQ(ChecksumFromName(ChecksumName(c.kind)), c.kind) << c.name;
  }
}

TEST(Checksum, WhereAFrameCarriesIt) {
  using B = std::vector<std::uint8_t>;
  const auto spec = [](ChecksumKind kind, int from, int trailer, bool bigEndian) {
    ChecksumSpec s;
    s.kind = kind;
    s.nFrom = from;
    s.nTrailer = trailer;
    s.bBigEndian = bigEndian;
    return s;
  };
  const struct {
    ChecksumSpec spec;
    B frame;
    ChecksumResult result;
  } cases[] = {
      // Modbus's own frame, CRC low byte first.
      {spec(ChecksumKind::kCrc16Modbus, 0, 0, false),
       {1, 3, 0, 0x6B, 0, 3, 0x74, 0x17},
       ChecksumResult::kOk},
      {spec(ChecksumKind::kCrc16Modbus, 0, 0, true),
       {1, 3, 0, 0x6B, 0, 3, 0x74, 0x17},
       ChecksumResult::kBad},
      {spec(ChecksumKind::kCrc16Modbus, 0, 0, false),
       {1, 3, 0, 0x6B, 0, 4, 0x74, 0x17},
       ChecksumResult::kBad},
      // "123456789" after a start byte that the check leaves out, CRC-32 high
      // byte first, then an end byte after it.
      {spec(ChecksumKind::kCrc32, 1, 1, true),
       {0x02, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0xCB, 0xF4, 0x39, 0x26, 0x03},
       ChecksumResult::kOk},
      {spec(ChecksumKind::kCrc32, 0, 1, true),
       {0x02, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0xCB, 0xF4, 0x39, 0x26, 0x03},
       ChecksumResult::kBad},
      {spec(ChecksumKind::kXor8, 0, 0, true), {0x10, 0x01, 0x11}, ChecksumResult::kOk},
      {spec(ChecksumKind::kTwosSum8, 0, 0, true), {0x01, 0xFF}, ChecksumResult::kOk},
      // Too short for the range and the check.
      {spec(ChecksumKind::kCrc16Xmodem, 1, 0, true), {0x31, 0xC3}, ChecksumResult::kShort},
      {spec(ChecksumKind::kNone, 0, 0, true), {1, 2, 3}, ChecksumResult::kNone},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(VerifyChecksum(cases[i].spec, cases[i].frame), cases[i].result) << "case " << i;
}

}  // namespace
}  // namespace tarnwick
