// The checks a frame can carry in its last 1, 2 or 4 bytes: simple sums and
// the common CRCs, each over a chosen range of the frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tarnwick {

enum class ChecksumKind : std::uint8_t {
  kNone,
  kSum8,      // the bytes added, modulo 256
  kXor8,      // the bytes XORed
  kTwosSum8,  // the two's complement of the sum: the bytes and it add up to 0 (an LRC)
  kCrc8,      // with its parameters (Crc8Params)
  kCrc16Modbus,
  kCrc16CcittFalse,
  kCrc16Xmodem,
  kCrc32,  // IEEE 802.3, as zip and Ethernet use it
};
inline constexpr int kChecksumKindCount = 9;

// CRC-8 in the usual parameter model; the defaults are the plain CRC-8
// (polynomial x^8+x^2+x+1, no reflection).
struct Crc8Params {
  std::uint8_t nPoly = 0x07;
  std::uint8_t nInit = 0x00;
  bool bRefIn = false;
  bool bRefOut = false;
  std::uint8_t nXorOut = 0x00;
  friend bool operator==(const Crc8Params&, const Crc8Params&) = default;
};

// Where a frame's check sits and what it covers: it covers the bytes from
// nFrom up to the check itself, which lies just before nTrailer bytes it does
// not cover (an end delimiter after it, say). The bytes come after one
// another as bBigEndian says.
struct ChecksumSpec {
  ChecksumKind kind = ChecksumKind::kNone;
  Crc8Params crc8;
  int nFrom = 0;
  int nTrailer = 0;
  bool bBigEndian = true;
  friend bool operator==(const ChecksumSpec&, const ChecksumSpec&) = default;
};

// The order the check's protocol sends it in: MODBUS low byte first, the others high byte first.
inline bool NaturalBigEndian(ChecksumKind kind) { return kind != ChecksumKind::kCrc16Modbus; }

// Bytes the check takes: 0, 1, 2 or 4.
int ChecksumWidth(ChecksumKind kind);

// The names of the rules' text form: "none", "sum8", "xor8", "twos-sum8",
// "crc8", "crc16-modbus", "crc16-ccitt-false", "crc16-xmodem", "crc32".
std::string_view ChecksumName(ChecksumKind kind);
std::optional<ChecksumKind> ChecksumFromName(std::string_view name);

// The check of data, crc8 used by kCrc8 only.
std::uint32_t ComputeChecksum(ChecksumKind kind, std::span<const std::uint8_t> data,
                              const Crc8Params& crc8 = {});

enum class ChecksumResult : std::uint8_t {
  kNone,   // no check is configured
  kOk,     // it matches
  kBad,    // it does not
  kShort,  // the frame is too short to hold the range and the check
};
ChecksumResult VerifyChecksum(const ChecksumSpec& spec, std::span<const std::uint8_t> frame);

}  // namespace tarnwick
