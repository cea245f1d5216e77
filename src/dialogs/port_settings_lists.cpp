#include "dialogs/port_settings_lists.h"

namespace tarnwick {

std::string PortName(int comNumber) { return "COM" + std::to_string(comNumber); }

std::string PortListEntry(const ComPortInfo& info) {
  std::string entry = PortName(info.nComNumber);
  if (!info.strPath.empty()) entry += "  " + info.strPath;
  if (!info.strDescription.empty()) entry += " - " + info.strDescription;
  return entry;
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
