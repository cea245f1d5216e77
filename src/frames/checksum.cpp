#include "frames/checksum.h"

#include <array>

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, kChecksumKindCount> kNames = {
    "none",         "sum8", "xor8", "twos-sum8", "crc8", "crc16-modbus", "crc16-ccitt-false",
    "crc16-xmodem", "crc32"};

std::uint32_t Reflect(std::uint32_t value, int width) {
  std::uint32_t out = 0;
  for (int i = 0; i < width; ++i) {
    out = (out << 1) | (value & 1u);
    value >>= 1;
  }
  return out;
}

// Every CRC here in one parameter model (width, polynomial, initial value,
// reflection of input and output, final XOR), bit by bit: frames are short,
// and one loop is easier to trust than a table per variant.
struct CrcModel {
  int width;
  std::uint32_t poly;
  std::uint32_t init;
  bool refIn;
  bool refOut;
  std::uint32_t xorOut;
};

std::uint32_t Crc(const CrcModel& m, std::span<const std::uint8_t> data) {
  const std::uint32_t top = 1u << (m.width - 1);
  const std::uint32_t mask = m.width == 32 ? 0xFFFFFFFFu : (1u << m.width) - 1u;
  std::uint32_t reg = m.init & mask;
  for (const std::uint8_t byte : data) {
    const std::uint32_t in = m.refIn ? Reflect(byte, 8) : byte;
    reg ^= in << (m.width - 8);
    for (int bit = 0; bit < 8; ++bit) reg = ((reg & top) ? (reg << 1) ^ m.poly : reg << 1) & mask;
  }
  if (m.refOut) reg = Reflect(reg, m.width);
  return (reg ^ m.xorOut) & mask;
}

}  // namespace

int ChecksumWidth(ChecksumKind kind) {
  switch (kind) {
    case ChecksumKind::kNone:
      return 0;
    case ChecksumKind::kSum8:
    case ChecksumKind::kXor8:
    case ChecksumKind::kTwosSum8:
    case ChecksumKind::kCrc8:
      return 1;
    case ChecksumKind::kCrc16Modbus:
    case ChecksumKind::kCrc16CcittFalse:
    case ChecksumKind::kCrc16Xmodem:
      return 2;
    case ChecksumKind::kCrc32:
      return 4;
  }
  return 0;
}

std::string_view ChecksumName(ChecksumKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < kNames.size() ? kNames[index] : "none";
}

std::optional<ChecksumKind> ChecksumFromName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) return static_cast<ChecksumKind>(i);
  }
  return std::nullopt;
}

std::uint32_t ComputeChecksum(ChecksumKind kind, std::span<const std::uint8_t> data,
                              const Crc8Params& crc8) {
  std::uint32_t sum = 0;
  switch (kind) {
    case ChecksumKind::kNone:
      return 0;
    case ChecksumKind::kSum8:
      for (const std::uint8_t b : data) sum += b;
      return sum & 0xFFu;
    case ChecksumKind::kXor8:
      for (const std::uint8_t b : data) sum ^= b;
      return sum;
    case ChecksumKind::kTwosSum8:
      for (const std::uint8_t b : data) sum += b;
      return (0x100u - (sum & 0xFFu)) & 0xFFu;
    case ChecksumKind::kCrc8:
      return Crc({8, crc8.nPoly, crc8.nInit, crc8.bRefIn, crc8.bRefOut, crc8.nXorOut}, data);
    case ChecksumKind::kCrc16Modbus:
      return Crc({16, 0x8005, 0xFFFF, true, true, 0}, data);
    case ChecksumKind::kCrc16CcittFalse:
      return Crc({16, 0x1021, 0xFFFF, false, false, 0}, data);
    case ChecksumKind::kCrc16Xmodem:
      return Crc({16, 0x1021, 0, false, false, 0}, data);
    case ChecksumKind::kCrc32:
      return Crc({32, 0x04C11DB7u, 0xFFFFFFFFu, true, true, 0xFFFFFFFFu}, data);
  }
  return 0;
}

ChecksumResult VerifyChecksum(const ChecksumSpec& spec, std::span<const std::uint8_t> frame) {
  const int width = ChecksumWidth(spec.kind);
  if (width == 0) return ChecksumResult::kNone;
  if (spec.nFrom < 0 || spec.nTrailer < 0) return ChecksumResult::kShort;
  const std::size_t from = static_cast<std::size_t>(spec.nFrom);
  const std::size_t tail =
      static_cast<std::size_t>(spec.nTrailer) + static_cast<std::size_t>(width);
  if (frame.size() < from + tail) return ChecksumResult::kShort;
  const std::size_t at = frame.size() - tail;
  std::uint32_t sent = 0;
  for (int i = 0; i < width; ++i) {
    const int shift = spec.bBigEndian ? 8 * (width - 1 - i) : 8 * i;
    sent |= static_cast<std::uint32_t>(frame[at + static_cast<std::size_t>(i)]) << shift;
  }
  const std::uint32_t computed =
      ComputeChecksum(spec.kind, frame.subspan(from, at - from), spec.crc8);
  return sent == computed ? ChecksumResult::kOk : ChecksumResult::kBad;
}

}  // namespace tarnwick
