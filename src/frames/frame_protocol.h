// Which protocol cuts and reads a port's frames, as the profile keeps it per
// port ("Ports/COMnFrames") and --frames takes it: "modbus-rtu",
// "modbus-ascii", "nmea", "slip", "cobs", or the name of custom rules saved
// in their text form (frame_rules_text.h). Empty or "off": no frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "frames/frame_codec.h"
#include "frames/frame_cutter.h"
#include "frames/frame_rules.h"
#include "port/dcb.h"

namespace tarnwick {

enum class FrameProtocol : std::uint8_t {
  kOff,
  kModbusRtu,
  kModbusAscii,
  kNmea,
  kSlip,
  kCobs,
  kCustom,
};

struct FramesChoice {
  FrameProtocol protocol = FrameProtocol::kOff;
  std::string name;  // kCustom: the rules' name
  friend bool operator==(const FramesChoice&, const FramesChoice&) = default;
};

// The text of a choice: a protocol's name, a custom rules' name, or "" when off.
std::string FramesChoiceText(const FramesChoice& choice);
// Nothing for a name that is neither a protocol nor a valid rules name.
std::optional<FramesChoice> ParseFramesChoice(std::string_view text);
// A name custom rules can be saved under: 1 to 64 letters, digits, '-', '_'
// or '.', and not a protocol's name nor "off".
bool IsValidRulesName(std::string_view name);

// The rules a protocol with a delimiter cuts frames by (ASCII, NMEA, SLIP, COBS).
FrameRules BuiltInRules(FrameProtocol protocol);

// The line's character timing, from the port's settings.
struct LineTiming {
  std::uint32_t nBaud = 9600;
  int nDataBits = 8;
  bool bParity = false;
  int nStopHalfBits = 2;  // 2, 3 or 4: one, one and a half or two stop bits
  friend bool operator==(const LineTiming&, const LineTiming&) = default;
};
LineTiming LineTimingOf(const DCB& dcb);
// 3.5 characters at the line's settings; 1.75 ms above 19200 baud, where the
// protocol fixes it.
std::chrono::microseconds ModbusRtuSilence(const LineTiming& line);

// What a port's frames are cut and read by.
struct FramesSetup {
  FramesChoice choice;
  FrameRules customRules;  // for kCustom: the rules saved under choice.name
  LineTiming line;
  // Requests are the sent direction and responses the received one, unless
  // the monitor sits on the responding side.
  bool bSwapRoles = false;
  friend bool operator==(const FramesSetup&, const FramesSetup&) = default;
};

struct Framing {
  std::unique_ptr<FrameCutter> cutters[2];  // by LineDirection
  std::shared_ptr<const FrameCodec> codec;
  // The silence that ends a frame (0: none): the worker gathers reads for at
  // most a tenth of it.
  std::chrono::microseconds silence{0};
};
// Nothing when the choice is off or its rules cannot cut frames.
std::optional<Framing> MakeFraming(const FramesSetup& setup);

}  // namespace tarnwick
