// What Modbus messages look like on a serial line: function and exception
// names, and the length a message's first bytes imply, which finds frames in
// a stream that has no silences between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "frames/frame.h"

namespace tarnwick {

// The largest RTU frame: address, 253 bytes of PDU, CRC.
inline constexpr std::size_t kModbusMaxRtuFrame = 256;

// "Read Holding Registers"; empty for a code without a public meaning. The
// exception bit (0x80) is ignored.
std::string_view ModbusFunctionName(std::uint8_t function);
// "Illegal Data Address"; empty for an unknown code.
std::string_view ModbusExceptionName(std::uint8_t code);

// The length of address and PDU (no check) a message's first bytes imply.
struct ModbusLength {
  enum class Kind : std::uint8_t {
    kKnown,     // nLength
    kNeedMore,  // the bytes that tell it have not all come
    kUnknown,   // a function whose messages have no length of their own
    kInvalid,   // no message of this kind can begin like this
  };
  Kind kind = Kind::kUnknown;
  std::size_t nLength = 0;
};
// head: the message from its address on, as much as has come.
ModbusLength ModbusMessageLength(std::span<const std::uint8_t> head, bool response);

// Whether a whole message (address and PDU, no check) has the length its
// kind implies, read as a request or as a response.
bool ModbusFits(std::span<const std::uint8_t> message, bool response);

// A message's role: its direction's, unless only the other kind's length fits
// it (a monitor on one wire hears both). Exceptions always answer.
FrameRole ModbusRoleOf(std::span<const std::uint8_t> message, FrameRole byDirection);

// What pairs a response with its request: the address and the function.
inline std::uint32_t ModbusPairKey(std::span<const std::uint8_t> message) {
  if (message.size() < 2) return 0;
  return (std::uint32_t{message[0]} << 8) | (message[1] & 0x7Fu);
}

}  // namespace tarnwick
