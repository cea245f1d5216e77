#include "frames/frame_protocol.h"

#include <array>

#include "frames/modbus_codec.h"
#include "frames/modbus_rtu_cutter.h"
#include "frames/nmea_codec.h"
#include "frames/payload_codec.h"
#include "frames/rule_framer.h"

namespace tarnwick {
namespace {

struct ProtocolName {
  FrameProtocol protocol;
  std::string_view name;
};
constexpr std::array<ProtocolName, 5> kProtocols = {{
    {FrameProtocol::kModbusRtu, "modbus-rtu"},
    {FrameProtocol::kModbusAscii, "modbus-ascii"},
    {FrameProtocol::kNmea, "nmea"},
    {FrameProtocol::kSlip, "slip"},
    {FrameProtocol::kCobs, "cobs"},
}};

std::string_view ProtocolText(FrameProtocol protocol) {
  for (const ProtocolName& entry : kProtocols) {
    if (entry.protocol == protocol) return entry.name;
  }
  return {};
}

}  // namespace

std::string FramesChoiceText(const FramesChoice& choice) {
  if (choice.protocol == FrameProtocol::kCustom) return choice.name;
  return std::string(ProtocolText(choice.protocol));
}

bool IsValidRulesName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name == "off") return false;
  for (const ProtocolName& entry : kProtocols) {
    if (entry.name == name) return false;
  }
  for (const char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (!allowed) return false;
  }
  return true;
}

std::optional<FramesChoice> ParseFramesChoice(std::string_view text) {
  if (text.empty() || text == "off") return FramesChoice{};
  for (const ProtocolName& entry : kProtocols) {
    if (entry.name == text) return FramesChoice{entry.protocol, {}};
  }
  if (!IsValidRulesName(text)) return std::nullopt;
  return FramesChoice{FrameProtocol::kCustom, std::string(text)};
}

FrameRules BuiltInRules(FrameProtocol protocol) {
  FrameRules rules;
  switch (protocol) {
    case FrameProtocol::kModbusAscii:
      rules.starts = {{':'}};
      rules.end = {'\r', '\n'};
      break;
    case FrameProtocol::kNmea:
      // LF ends a sentence, so one from a device that leaves out the CR is
      // still whole; the check ignores the CR.
      rules.starts = {{'$'}, {'!'}};
      rules.end = {'\n'};
      break;
    case FrameProtocol::kSlip:
      rules.encoding = FrameEncoding::kSlip;
      break;
    case FrameProtocol::kCobs:
      rules.encoding = FrameEncoding::kCobs;
      break;
    default:
      break;
  }
  return rules;
}

LineTiming LineTimingOf(const DCB& dcb) {
  LineTiming line;
  line.nBaud = dcb.BaudRate;
  line.nDataBits = dcb.ByteSize;
  line.bParity = dcb.Parity != 0;
  line.nStopHalfBits = dcb.StopBits == 1 ? 3 : dcb.StopBits == 2 ? 4 : 2;
  return line;
}

std::chrono::microseconds ModbusRtuSilence(const LineTiming& line) {
  constexpr std::chrono::microseconds kFastLine{1750};
  if (line.nBaud == 0 || line.nBaud > 19200) return kFastLine;
  // Half bits: a start bit, the data, the parity bit, the stop bits.
  const std::int64_t halfBits =
      2 * (1 + line.nDataBits + (line.bParity ? 1 : 0)) + line.nStopHalfBits;
  // 3.5 characters = 7 half characters, each halfBits / 2 bits: 7 * halfBits / 4 bits.
  const std::int64_t micros = (7 * halfBits * 1'000'000 + 4 * line.nBaud - 1) / (4 * line.nBaud);
  return std::chrono::microseconds(micros);
}

std::optional<Framing> MakeFraming(const FramesSetup& setup) {
  const FrameProtocol protocol = setup.choice.protocol;
  if (protocol == FrameProtocol::kOff) return std::nullopt;
  Framing framing;
  const bool sentAsks = !setup.bSwapRoles;
  if (protocol == FrameProtocol::kModbusRtu) {
    framing.silence = ModbusRtuSilence(setup.line);
    framing.cutters[static_cast<int>(LineDirection::kReceived)] =
        std::make_unique<ModbusRtuCutter>(LineDirection::kReceived, !sentAsks, framing.silence);
    framing.cutters[static_cast<int>(LineDirection::kSent)] =
        std::make_unique<ModbusRtuCutter>(LineDirection::kSent, sentAsks, framing.silence);
    framing.codec = std::make_shared<ModbusRtuCodec>();
    return framing;
  }
  const FrameRules rules =
      protocol == FrameProtocol::kCustom ? setup.customRules : BuiltInRules(protocol);
  if (!RulesProblem(rules).empty()) return std::nullopt;
  framing.silence = rules.silence;
  for (const LineDirection direction : {LineDirection::kReceived, LineDirection::kSent})
    framing.cutters[static_cast<int>(direction)] = std::make_unique<RuleFramer>(rules, direction);
  switch (protocol) {
    case FrameProtocol::kModbusAscii:
      framing.codec = std::make_shared<ModbusAsciiCodec>();
      break;
    case FrameProtocol::kNmea:
      framing.codec = std::make_shared<NmeaCodec>();
      break;
    default:
      framing.codec = std::make_shared<PayloadCodec>(FramesChoiceText(setup.choice), rules);
      break;
  }
  return framing;
}

}  // namespace tarnwick
