#include "frames/modbus_describe.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "frames/modbus_pdu.h"

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint16_t U16(Bytes m, std::size_t at) {
  return at + 1 < m.size() ? static_cast<std::uint16_t>((m[at] << 8) | m[at + 1]) : 0;
}

std::string Number(std::uint64_t value) {
  char text[24];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::string Hex8(std::uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

// Fills the values column and the detail as a message is read.
class Reading {
 public:
  explicit Reading(FrameDescription& out) : m_out(out) {}

  void Value(std::uint64_t value) {
    if (m_nValues > 0) m_out.values += ' ';
    m_out.values += Number(value);
    ++m_nValues;
  }
  void Registers(Bytes m, std::size_t at, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Value(U16(m, at + 2 * i));
  }
  // count bits, the lowest bit of the first byte first.
  void Bits(Bytes m, std::size_t at, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Value((m[at + i / 8] >> (i % 8)) & 1u);
  }
  void HexBytes(Bytes bytes) {
    for (const std::uint8_t b : bytes) {
      if (m_nValues++ > 0) m_out.values += ' ';
      m_out.values += Hex8(b);
    }
  }
  std::size_t Count() const { return m_nValues; }
  void Start(std::uint16_t address) {
    m_out.Add("Start", Hex16(address) + " (" + Number(address) + ")");
  }
  void Quantity(std::uint16_t count) { m_out.Add("Count", Number(count)); }

 private:
  FrameDescription& m_out;
  std::size_t m_nValues = 0;
};

// A request's own words: " 0x006B x3" and its fields. Returns false when the
// message is shorter than its function needs.
bool ReadRequest(Bytes m, std::string& summary, Reading& reading) {
  const std::uint8_t function = m[1];
  const std::size_t size = m.size();
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
      if (size < 6) return false;
      summary += ' ' + Hex16(U16(m, 2)) + " x" + Number(U16(m, 4));
      reading.Start(U16(m, 2));
      reading.Quantity(U16(m, 4));
      return true;
    case 5: {
      if (size < 6) return false;
      const std::uint16_t value = U16(m, 4);
      summary += ' ' + Hex16(U16(m, 2)) + " = " +
                 (value == 0xFF00 ? "ON"
                  : value == 0    ? "OFF"
                                  : Hex16(value));
      reading.Start(U16(m, 2));
      reading.Value(value == 0xFF00 ? 1 : value == 0 ? 0 : value);
      return true;
    }
    case 6:
      if (size < 6) return false;
      summary += ' ' + Hex16(U16(m, 2)) + " = " + Number(U16(m, 4));
      reading.Start(U16(m, 2));
      reading.Value(U16(m, 4));
      return true;
    case 15:
    case 16: {
      if (size < 7) return false;
      const std::uint16_t count = U16(m, 4);
      summary += ' ' + Hex16(U16(m, 2)) + " x" + Number(count);
      reading.Start(U16(m, 2));
      reading.Quantity(count);
      const std::size_t needed = function == 15 ? (count + 7u) / 8u : 2u * count;
      if (m[6] != needed || size < 7 + needed) return false;
      if (function == 15)
        reading.Bits(m, 7, count);
      else
        reading.Registers(m, 7, count);
      return true;
    }
    case 22:
      if (size < 8) return false;
      summary += ' ' + Hex16(U16(m, 2)) + " and " + Hex16(U16(m, 4)) + " or " + Hex16(U16(m, 6));
      reading.Start(U16(m, 2));
      reading.Value(U16(m, 4));
      reading.Value(U16(m, 6));
      return true;
    case 23: {
      if (size < 11) return false;
      const std::uint16_t writes = U16(m, 8);
      summary += " read " + Hex16(U16(m, 2)) + " x" + Number(U16(m, 4)) + " write " +
                 Hex16(U16(m, 6)) + " x" + Number(writes);
      reading.Start(U16(m, 2));
      reading.Quantity(U16(m, 4));
      if (m[10] != 2u * writes || size < 11u + 2u * writes) return false;
      reading.Registers(m, 11, writes);
      return true;
    }
    case 24:
      if (size < 4) return false;
      summary += ' ' + Hex16(U16(m, 2));
      reading.Start(U16(m, 2));
      return true;
    case 8:
      if (size < 4) return false;
      summary += " sub-function " + Number(U16(m, 2));
      for (std::size_t at = 4; at + 1 < size; at += 2) reading.Value(U16(m, at));
      return true;
    default:
      reading.HexBytes(m.subspan(2));
      return true;
  }
}

// What the request said, for its response's summary: " 0x006B x3", and the
// number of coils asked for.
std::string RequestWords(Bytes request, std::size_t& coils) {
  coils = 0;
  if (request.size() < 6) return {};
  switch (request[1]) {
    case 1:
    case 2:
      coils = U16(request, 4);
      [[fallthrough]];
    case 3:
    case 4:
    case 15:
    case 16:
      return ' ' + Hex16(U16(request, 2)) + " x" + Number(U16(request, 4));
    case 23:
      return " read " + Hex16(U16(request, 2)) + " x" + Number(U16(request, 4));
    case 24:
      return ' ' + Hex16(U16(request, 2));
    default:
      return {};
  }
}

// A response's own words after the request's: " -> 3 values". Returns false
// when the message is shorter than its function needs.
bool ReadResponse(Bytes m, std::size_t coils, std::string& summary, Reading& reading) {
  const std::size_t size = m.size();
  const std::uint8_t count = size > 2 ? m[2] : 0;
  const bool counted = size >= 3 && size == 3u + count;
  switch (m[1]) {
    case 1:
    case 2: {
      if (!counted) return false;
      const std::size_t bits = coils > 0 && coils <= 8u * count ? coils : 8u * count;
      reading.Bits(m, 3, bits);
      summary += " -> " + Number(bits) + " values";
      return true;
    }
    case 3:
    case 4:
    case 23:
      if (!counted || count % 2 != 0) return false;
      reading.Registers(m, 3, count / 2u);
      summary += " -> " + Number(count / 2u) + " values";
      return true;
    case 5:
    case 6:
      if (size < 6) return false;
      ReadRequest(m, summary, reading);  // the echo reads as the request did
      summary += " -> ok";
      return true;
    case 15:
    case 16:
      if (size < 6) return false;
      summary += ' ' + Hex16(U16(m, 2)) + " x" + Number(U16(m, 4)) + " -> ok";
      reading.Start(U16(m, 2));
      reading.Quantity(U16(m, 4));
      return true;
    case 22:
      if (!ReadRequest(m, summary, reading)) return false;
      summary += " -> ok";
      return true;
    case 7:
      if (size < 3) return false;
      reading.Value(m[2]);
      summary += " -> status " + Hex8(m[2]);
      return true;
    case 8:
      if (!ReadRequest(m, summary, reading)) return false;
      summary += " -> echoed";
      return true;
    case 11:
      if (size < 6) return false;
      reading.Value(U16(m, 2));
      reading.Value(U16(m, 4));
      summary += " -> " + Number(U16(m, 4)) + " events";
      return true;
    case 24: {
      if (size < 6 || size != 4u + U16(m, 2)) return false;
      const std::size_t values = U16(m, 4);
      if (size < 6 + 2 * values) return false;
      reading.Registers(m, 6, values);
      summary += " -> " + Number(values) + " values";
      return true;
    }
    default:
      if (size < 3) return false;
      reading.HexBytes(m.subspan(2));
      summary += " -> " + Number(size - 2) + " bytes";
      return true;
  }
}

}  // namespace

void DescribeModbus(Bytes message, bool sound, FrameRole role, Bytes request, const FramePair& pair,
                    FrameDescription& out) {
  out.Clear();
  if (message.size() < 2) {
    out.summary = Number(message.size()) + (message.size() == 1 ? " byte" : " bytes");
    return;
  }
  const std::uint8_t address = message[0];
  const std::uint8_t function = message[1];
  const std::string_view name = ModbusFunctionName(function);
  out.address = Number(address);
  out.function = Number(function);
  out.summary = Hex8(address) + ' ' +
                (name.empty() ? "Function " + Number(function & 0x7F) : std::string(name));
  out.Add("Address", Number(address));
  out.Add("Function", Number(function & 0x7F) + (name.empty() ? "" : " " + std::string(name)));
  if (!sound) return;

  Reading reading(out);
  bool whole = true;
  if (function & 0x80) {
    std::size_t coils = 0;
    if (pair.micros) out.summary += RequestWords(request, coils);
    const std::uint8_t code = message.size() > 2 ? message[2] : 0;
    const std::string_view reason = ModbusExceptionName(code);
    out.summary +=
        " -> exception " + Hex8(code) + (reason.empty() ? "" : " " + std::string(reason));
    out.Add("Exception", Number(code) + (reason.empty() ? "" : " " + std::string(reason)));
    whole = message.size() == 3;
  } else if (role == FrameRole::kResponse) {
    std::size_t coils = 0;
    const std::uint8_t base = function;
    if (pair.micros && base != 5 && base != 6 && base != 8 && base != 15 && base != 16 &&
        base != 22)
      out.summary += RequestWords(request, coils);
    whole = ReadResponse(message, coils, out.summary, reading);
  } else {
    whole = ReadRequest(message, out.summary, reading);
  }
  if (!whole) {
    out.summary += " (malformed)";
    out.Add("Note", "the message is shorter or longer than its function says");
  }
  if (reading.Count() > 0) out.Add("Values", out.values);
  if (pair.micros) {
    out.summary += ", ";
    AppendPairTime(out.summary, *pair.micros);
    std::string time;
    AppendPairTime(time, *pair.micros);
    out.Add("Response time", time);
  }
}

}  // namespace tarnwick
