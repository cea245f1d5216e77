#include "frames/modbus_pdu.h"

namespace tarnwick {
namespace {

using Kind = ModbusLength::Kind;

// Address and PDU at most: an RTU frame less its CRC.
constexpr std::size_t kMaxMessage = kModbusMaxRtuFrame - 2;

ModbusLength Known(std::size_t length) {
  if (length > kMaxMessage) return {Kind::kInvalid, 0};
  return {Kind::kKnown, length};
}

// fixed + the count at head[at] (one byte, or two high byte first).
ModbusLength Counted(std::span<const std::uint8_t> head, std::size_t fixed, std::size_t at,
                     int countBytes = 1) {
  if (head.size() < at + static_cast<std::size_t>(countBytes)) return {Kind::kNeedMore, 0};
  std::size_t count = head[at];
  if (countBytes == 2) count = (count << 8) | head[at + 1];
  return Known(fixed + count);
}

// Read Device Identification's answer: eight bytes, then per object its id,
// its length and its value.
ModbusLength DeviceIdentification(std::span<const std::uint8_t> head) {
  if (head.size() < 8) return {Kind::kNeedMore, 0};
  std::size_t at = 8;
  for (unsigned object = 0; object < head[7]; ++object) {
    if (head.size() < at + 2) return {Kind::kNeedMore, 0};
    at += 2u + head[at + 1];
    if (at > kMaxMessage) return {Kind::kInvalid, 0};
  }
  return Known(at);
}

ModbusLength RequestLength(std::span<const std::uint8_t> head, std::uint8_t function) {
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8:
      return Known(6);
    case 7:
    case 11:
    case 12:
    case 17:
      return Known(2);
    case 15:
    case 16:
      return Counted(head, 7, 6);
    case 20:
    case 21:
      return Counted(head, 3, 2);
    case 22:
      return Known(8);
    case 23:
      return Counted(head, 11, 10);
    case 24:
      return Known(4);
    case 43:
      if (head.size() < 3) return {Kind::kNeedMore, 0};
      return head[2] == 14 ? Known(5) : ModbusLength{Kind::kUnknown, 0};
    default:
      return {Kind::kUnknown, 0};
  }
}

ModbusLength ResponseLength(std::span<const std::uint8_t> head, std::uint8_t function) {
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 12:
    case 17:
    case 20:
    case 21:
    case 23:
      return Counted(head, 3, 2);
    case 5:
    case 6:
    case 8:
    case 11:
    case 15:
    case 16:
      return Known(6);
    case 7:
      return Known(3);
    case 22:
      return Known(8);
    case 24:
      return Counted(head, 4, 2, 2);
    case 43:
      if (head.size() < 3) return {Kind::kNeedMore, 0};
      return head[2] == 14 ? DeviceIdentification(head) : ModbusLength{Kind::kUnknown, 0};
    default:
      return {Kind::kUnknown, 0};
  }
}

}  // namespace

std::string_view ModbusFunctionName(std::uint8_t function) {
  switch (function & 0x7F) {
    case 1:
      return "Read Coils";
    case 2:
      return "Read Discrete Inputs";
    case 3:
      return "Read Holding Registers";
    case 4:
      return "Read Input Registers";
    case 5:
      return "Write Single Coil";
    case 6:
      return "Write Single Register";
    case 7:
      return "Read Exception Status";
    case 8:
      return "Diagnostics";
    case 11:
      return "Get Comm Event Counter";
    case 12:
      return "Get Comm Event Log";
    case 15:
      return "Write Multiple Coils";
    case 16:
      return "Write Multiple Registers";
    case 17:
      return "Report Server ID";
    case 20:
      return "Read File Record";
    case 21:
      return "Write File Record";
    case 22:
      return "Mask Write Register";
    case 23:
      return "Read/Write Multiple Registers";
    case 24:
      return "Read FIFO Queue";
    case 43:
      return "Encapsulated Interface Transport";
    default:
      return {};
  }
}

std::string_view ModbusExceptionName(std::uint8_t code) {
  switch (code) {
    case 1:
      return "Illegal Function";
    case 2:
      return "Illegal Data Address";
    case 3:
      return "Illegal Data Value";
    case 4:
      return "Server Device Failure";
    case 5:
      return "Acknowledge";
    case 6:
      return "Server Device Busy";
    case 7:
      return "Negative Acknowledge";
    case 8:
      return "Memory Parity Error";
    case 10:
      return "Gateway Path Unavailable";
    case 11:
      return "Gateway Target Device Failed to Respond";
    default:
      return {};
  }
}

ModbusLength ModbusMessageLength(std::span<const std::uint8_t> head, bool response) {
  if (head.size() < 2) return {Kind::kNeedMore, 0};
  const std::uint8_t function = head[1];
  if ((function & 0x7F) == 0) return {Kind::kInvalid, 0};
  if (function & 0x80) return response ? Known(3) : ModbusLength{Kind::kInvalid, 0};
  return response ? ResponseLength(head, function) : RequestLength(head, function);
}

bool ModbusFits(std::span<const std::uint8_t> message, bool response) {
  const ModbusLength length = ModbusMessageLength(message, response);
  return length.kind == Kind::kKnown && length.nLength == message.size();
}

FrameRole ModbusRoleOf(std::span<const std::uint8_t> message, FrameRole byDirection) {
  if (message.size() >= 2 && (message[1] & 0x80)) return FrameRole::kResponse;
  const bool request = ModbusFits(message, false);
  const bool response = ModbusFits(message, true);
  if (request && !response) return FrameRole::kRequest;
  if (response && !request) return FrameRole::kResponse;
  return byDirection;
}

}  // namespace tarnwick
