// What a Modbus message says, for RTU and ASCII alike: address, function,
// exception, the registers or coils it names and the values it carries, and
// the one-line summary "01 Read Holding Registers 0x006B x3 -> 3 values, 4.2 ms".
#pragma once

#include <cstdint>
#include <span>

#include "frames/frame_codec.h"

namespace tarnwick {

// message: address and PDU, without the check. sound: the check passed (a
// frame that failed gets its address and function only). request: the
// message of the request this response answers, when known (empty
// otherwise); pair.micros its time.
void DescribeModbus(std::span<const std::uint8_t> message, bool sound, FrameRole role,
                    std::span<const std::uint8_t> request, const FramePair& pair,
                    FrameDescription& out);

}  // namespace tarnwick
