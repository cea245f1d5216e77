// What the lists of the Port Settings dialog hold: each list's items in the
// order of its index field, so an item's position is the value stored; and
// the port list's entries, which also say what each COM number opens here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com_port_info.h"

namespace tarnwick {

inline constexpr std::array<std::string_view, 15> kBaudItems = {
    "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
// The record's names first, then what they mean, in the record's order.
inline constexpr std::array<std::string_view, 5> kParityItems = {
    "NOPARITY (None)", "SPACE (Space)", "MARK (Mark)", "EVEN (Even)", "ODD (Odd)"};
inline constexpr std::array<std::string_view, 4> kDataBitsItems = {"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 3> kStopBitsItems = {"1", "1.5", "2"};
inline constexpr std::array<std::string_view, 3> kDtrItems = {"DISABLE", "ENABLE", "HANDSHAKE"};
inline constexpr std::array<std::string_view, 4> kRtsItems = {"DISABLE", "ENABLE", "HANDSHAKE",
                                                              "TOGGLE"};

// A rate typed into the baud box: its decimal digits, 1 to 4294967295;
// 0 when the text is no such number.
std::uint32_t TypedBaudRate(std::string_view text);

// Whether text is a device the Device field may keep: empty (the usual
// device), a path, or a well-formed network form. Otherwise the message
// that says what is wrong.
std::string DeviceFieldError(std::string_view text);

// "COM%d", as the caption and the record know the port.
std::string PortName(int comNumber);

// The port list's entry: the name, then the device path it opens and what
// is there: "COM33  /dev/ttyUSB0 - FT232R USB UART (FTDI)".
std::string PortListEntry(const ComPortInfo& info);

// The line under the lists about the chosen port: "COM33 opens /dev/ttyUSB0:
// FT232R USB UART (FTDI)", "COM34 opens /dev/ttyUSB1: not present".
std::string PortDeviceLine(const ComPortInfo& info);

}  // namespace tarnwick
