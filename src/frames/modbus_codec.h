// Modbus on a serial line: RTU (binary, CRC-16 low byte first) and ASCII
// (':', hex pairs, LRC, CR LF). Both read the same messages (modbus_describe.h).
#pragma once

#include <vector>

#include "frames/frame_codec.h"

namespace tarnwick {

class ModbusRtuCodec : public FrameCodec {
 public:
  std::string_view Name() const override { return "modbus-rtu"; }
  FrameStatus Check(std::span<const std::uint8_t> bytes, FrameCut cut) const override;
  FrameRole RoleOf(std::span<const std::uint8_t> bytes, FrameRole byDirection) const override;
  std::uint32_t PairKey(std::span<const std::uint8_t> bytes) const override;
  void Describe(const FrameView& frame, const FramePair& pair,
                FrameDescription& out) const override;
};

class ModbusAsciiCodec : public FrameCodec {
 public:
  std::string_view Name() const override { return "modbus-ascii"; }
  FrameStatus Check(std::span<const std::uint8_t> bytes, FrameCut cut) const override;
  FrameRole RoleOf(std::span<const std::uint8_t> bytes, FrameRole byDirection) const override;
  std::uint32_t PairKey(std::span<const std::uint8_t> bytes) const override;
  void Describe(const FrameView& frame, const FramePair& pair,
                FrameDescription& out) const override;
};

// An ASCII frame's bytes, from the hex pairs between ':' and CR LF, the LRC
// last; nothing when a character is not a hex digit or one is left over.
bool DecodeModbusAscii(std::span<const std::uint8_t> frame, std::vector<std::uint8_t>& out);

}  // namespace tarnwick
