#include "port/port_status_text.h"

#include "port/line_tables.h"

namespace tarnwick {
namespace {

constexpr char kParityLetters[] = {'N', 'S', 'M', 'E', 'O'};  // in the parity list's order
constexpr const char* kStopBits[] = {"1", "1.5", "2"};
constexpr const char* kLostText = "Port LOST !";

std::string PortAndDevice(const SETTINGS& settings, const std::string& device) {
  std::string text = "COM" + std::to_string(CheckedLineIndexes(settings).nPortIndex + 1);
  if (!device.empty()) text += " " + device;
  return text;
}

}  // namespace

std::string LineShortForm(const SETTINGS& settings) {
  const LineIndexes index = CheckedLineIndexes(settings);
  std::string text = std::to_string(kBaudRates[index.nBaudIndex]) + " ";
  text += std::to_string(index.nDataBitsIndex + 5);
  text += kParityLetters[index.nParityIndex];
  text += kStopBits[index.nStopBitsIndex];
  return text;
}

PortStatusText DescribePort(const SETTINGS& settings, const std::string& device, bool open,
                            bool deviceMissing, const std::string& failure) {
  const std::string port = PortAndDevice(settings, device);
  if (open) return {PortState::kOpen, port + " " + LineShortForm(settings)};
  if (failure == kDisconnectedText) return {PortState::kDisconnected, port + ": " + failure};
  // A lost port keeps its loss as the reason while it is looked for.
  if (failure.rfind(kLostText, 0) == 0) return {PortState::kLost, port + ": " + failure};
  if (deviceMissing) return {PortState::kWaiting, port + ": waiting for the device"};
  return {PortState::kFailed, failure.empty() ? port : port + ": " + failure};
}

PortStatusText DescribeSecondPort(const std::string& port, const std::string& device,
                                  const SecondPortState& state) {
  std::string text = "Listening on " + port;
  if (!device.empty() && device != port) text += " " + device;
  if (state.bOpen) return {PortState::kOpen, text};
  if (state.bLost) return {PortState::kLost, text + ": " + state.strReason};
  if (state.bMissing) return {PortState::kWaiting, text + ": waiting for the device"};
  if (state.strReason.empty()) return {PortState::kWaiting, text + ": opening"};
  return {PortState::kFailed, text + ": " + state.strReason};
}

std::string CountersText(std::int32_t read, std::int32_t written) {
  return "Read " + std::to_string(read) + " / Write " + std::to_string(written);
}

std::string LoggingText(bool raw, bool text) {
  if (raw && text) return "Logging raw, text";
  if (raw) return "Logging raw";
  if (text) return "Logging text";
  return {};
}

}  // namespace tarnwick
