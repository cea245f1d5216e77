#include "frames/modbus_codec.h"

#include <cstdio>

#include "frames/checksum.h"
#include "frames/modbus_describe.h"
#include "frames/modbus_pdu.h"

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

// An RTU frame less its CRC; the frame itself when it is too short to hold one.
Bytes RtuMessage(Bytes frame) { return frame.size() >= 4 ? frame.first(frame.size() - 2) : frame; }

bool ImpliesMore(Bytes message, std::size_t have) {
  for (const bool response : {false, true}) {
    const ModbusLength length = ModbusMessageLength(message, response);
    if (length.kind == ModbusLength::Kind::kKnown && length.nLength <= have) return false;
    if (length.kind != ModbusLength::Kind::kKnown && length.kind != ModbusLength::Kind::kNeedMore)
      return false;
  }
  return true;
}

std::string CheckText(std::uint32_t sent, std::uint32_t computed, int digits) {
  char text[48];
  if (sent == computed) {
    std::snprintf(text, sizeof text, "0x%0*X", digits, sent);
  } else {
    std::snprintf(text, sizeof text, "0x%0*X, computed 0x%0*X", digits, sent, digits, computed);
  }
  return text;
}

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

FrameStatus ModbusRtuCodec::Check(Bytes bytes, FrameCut cut) const {
  if (cut == FrameCut::kTooLong) return FrameStatus::kTooLong;
  if (cut == FrameCut::kIncomplete || bytes.size() < 4) return FrameStatus::kIncomplete;
  const ChecksumSpec crc{ChecksumKind::kCrc16Modbus, {}, 0, 0, false};
  if (VerifyChecksum(crc, bytes) == ChecksumResult::kOk) return FrameStatus::kOk;
  // Shorter than every length its beginning implies: a frame cut short.
  return ImpliesMore(bytes, bytes.size() - 2) ? FrameStatus::kIncomplete
                                              : FrameStatus::kBadChecksum;
}

FrameRole ModbusRtuCodec::RoleOf(Bytes bytes, FrameRole byDirection) const {
  return ModbusRoleOf(RtuMessage(bytes), byDirection);
}

std::uint32_t ModbusRtuCodec::PairKey(Bytes bytes) const { return ModbusPairKey(bytes); }

void ModbusRtuCodec::Describe(const FrameView& frame, const FramePair& pair,
                              FrameDescription& out) const {
  const bool sound = frame.status == FrameStatus::kOk;
  DescribeModbus(RtuMessage(frame.bytes), sound, frame.role, RtuMessage(pair.request), pair, out);
  if (frame.bytes.size() >= 4) {
    const Bytes message = RtuMessage(frame.bytes);
    const std::size_t size = frame.bytes.size();
    const std::uint32_t sent = frame.bytes[size - 2] | (frame.bytes[size - 1] << 8);
    out.Add("CRC", CheckText(sent, ComputeChecksum(ChecksumKind::kCrc16Modbus, message), 4));
  }
}

bool DecodeModbusAscii(Bytes frame, std::vector<std::uint8_t>& out) {
  out.clear();
  if (frame.empty() || frame[0] != ':') return false;
  std::size_t end = frame.size();
  if (end >= 2 && frame[end - 2] == '\r' && frame[end - 1] == '\n') end -= 2;
  if ((end - 1) % 2 != 0) return false;
  for (std::size_t i = 1; i + 1 < end; i += 2) {
    const int high = HexDigit(frame[i]);
    const int low = HexDigit(frame[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return true;
}

FrameStatus ModbusAsciiCodec::Check(Bytes bytes, FrameCut cut) const {
  if (cut == FrameCut::kTooLong) return FrameStatus::kTooLong;
  if (cut == FrameCut::kIncomplete || bytes.empty() || bytes[0] != ':')
    return FrameStatus::kIncomplete;
  std::vector<std::uint8_t> decoded;
  if (!DecodeModbusAscii(bytes, decoded)) return FrameStatus::kBadEncoding;
  if (decoded.size() < 3) return FrameStatus::kIncomplete;
  const ChecksumSpec lrc{ChecksumKind::kTwosSum8, {}, 0, 0, true};
  return VerifyChecksum(lrc, decoded) == ChecksumResult::kOk ? FrameStatus::kOk
                                                             : FrameStatus::kBadChecksum;
}

FrameRole ModbusAsciiCodec::RoleOf(Bytes bytes, FrameRole byDirection) const {
  std::vector<std::uint8_t> decoded;
  if (!DecodeModbusAscii(bytes, decoded) || decoded.size() < 3) return byDirection;
  return ModbusRoleOf(Bytes(decoded).first(decoded.size() - 1), byDirection);
}

std::uint32_t ModbusAsciiCodec::PairKey(Bytes bytes) const {
  std::vector<std::uint8_t> decoded;
  DecodeModbusAscii(bytes, decoded);
  return ModbusPairKey(decoded);
}

void ModbusAsciiCodec::Describe(const FrameView& frame, const FramePair& pair,
                                FrameDescription& out) const {
  std::vector<std::uint8_t> decoded;
  std::vector<std::uint8_t> request;
  const bool readable = DecodeModbusAscii(frame.bytes, decoded) && decoded.size() >= 3;
  if (!(DecodeModbusAscii(pair.request, request) && request.size() >= 3)) request.clear();
  const Bytes message = readable ? Bytes(decoded).first(decoded.size() - 1) : Bytes();
  const Bytes asked = request.empty() ? Bytes() : Bytes(request).first(request.size() - 1);
  DescribeModbus(message, frame.status == FrameStatus::kOk, frame.role, asked, pair, out);
  if (readable) {
    out.Add("LRC", CheckText(decoded.back(), ComputeChecksum(ChecksumKind::kTwosSum8, message), 2));
  }
}

}  // namespace tarnwick
