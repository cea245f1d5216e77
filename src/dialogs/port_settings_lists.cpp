#include "dialogs/port_settings_lists.h"

#include "port/network_port_name.h"

namespace tarnwick {

std::string PortName(int comNumber) { return "COM" + std::to_string(comNumber); }

std::string PortListEntry(const ComPortInfo& info) {
  std::string entry = PortName(info.nComNumber);
  if (!info.strPath.empty()) entry += "  " + info.strPath;
  if (!info.strDescription.empty()) entry += " - " + info.strDescription;
  return entry;
}

std::uint32_t TypedBaudRate(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 10) return 0;
  std::uint64_t rate = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    rate = rate * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return rate <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(rate) : 0;
}

std::string DeviceFieldError(std::string_view text) {
  if (IsNetworkPortName(text) && !ParseNetworkPortName(text)) {
    return "Enter a network port as rfc2217://HOST:PORT or tcp://HOST:PORT.";
  }
  return {};
}

std::string PortDeviceLine(const ComPortInfo& info) {
  const std::string name = PortName(info.nComNumber);
  if (info.strPath.empty()) return name + " opens no device";
  std::string line = name + " opens " + info.strPath + ": ";
  if (!info.bPresent)
    return line + (info.strDescription.empty() ? "not present" : info.strDescription);
  return line + (info.strDescription.empty() ? "present" : info.strDescription);
}

}  // namespace tarnwick
