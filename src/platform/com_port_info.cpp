#include "platform/com_port_info.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/com_names.h"
#include "port/network_port_name.h"

namespace tarnwick {

// Linux only: Windows has neither device paths nor sysfs to look at.
#ifndef _WIN32
namespace {

namespace fs = std::filesystem;

// A USB adapter's product and maker sit on the USB device, one or two levels
// above the tty's own device directory.
constexpr int kLevelsUpToUsbDevice = 4;
// Descriptor strings come from the device itself: kept short and printable.
constexpr std::size_t kMaxTextLength = 64;

// The first line of a small sysfs attribute, printable ASCII only, without
// surrounding blanks; empty when there is none.
std::string ReadAttribute(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return {};
  std::ifstream in(file, std::ios::binary);
  char buffer[256];
  in.read(buffer, sizeof buffer);
  std::string text;
  for (std::streamsize i = 0; i < in.gcount(); ++i) {
    const auto c = static_cast<unsigned char>(buffer[i]);
    if (c == '\n' || c == '\0') break;
    if (c >= 0x20 && c < 0x7F) text += static_cast<char>(c);
  }
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (text.size() > kMaxTextLength) text.resize(kMaxTextLength);
  return text;
}

// "product (manufacturer)" of the nearest USB device at or above hardware.
std::string UsbProduct(fs::path hardware) {
  for (int level = 0; level <= kLevelsUpToUsbDevice && hardware.has_relative_path(); ++level) {
    const std::string product = ReadAttribute(hardware / "product");
    if (!product.empty()) {
      const std::string maker = ReadAttribute(hardware / "manufacturer");
      return maker.empty() ? product : product + " (" + maker + ")";
    }
    hardware = hardware.parent_path();
  }
  return {};
}

// The kind of UART behind a legacy serial port, by the serial core's type
// number.
std::string UartName(const std::string& type) {
  static constexpr struct {
    const char* type;
    const char* name;
  } kUarts[] = {{"1", "8250 UART"},   {"2", "16450 UART"}, {"3", "16550 UART"},
                {"4", "16550A UART"}, {"6", "16650 UART"}, {"7", "16650V2 UART"},
                {"8", "16750 UART"},  {"32", "PL011 UART"}};
  for (const auto& uart : kUarts) {
    if (type == uart.type) return uart.name;
  }
  return "UART";
}

// The kernel driver bound to the device ("serial8250", "cdc_acm"...).
std::string DriverName(const fs::path& hardware) {
  std::error_code error;
  const fs::path driver = fs::read_symlink(hardware / "driver", error);
  return error ? std::string() : driver.filename().string();
}

// The device's stable name: the link under byIdDir that leads to it.
std::string StableName(const fs::path& device, const std::string& byIdDir) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(byIdDir, error)) {
    std::error_code linkError;
    if (fs::canonical(entry.path(), linkError) == device && !linkError)
      return entry.path().filename().string();
  }
  return {};
}

// Whether info.strPath leads to a device, and what it is.
void DescribeDevice(ComPortInfo& info, const std::string& sysRoot, const std::string& byIdDir) {
  std::error_code error;
  if (const auto network = ParseNetworkPortName(info.strPath); IsNetworkPortName(info.strPath)) {
    // Nothing here says whether a server answers: the open will tell.
    info.strDescription = !network            ? "malformed network port"
                          : network->bRfc2217 ? "serial server (RFC 2217)"
                                              : "raw TCP, no line settings";
    return;
  }
  // Through any links (/dev/serial/by-id/...) to the node itself.
  const fs::path device = fs::canonical(info.strPath, error);
  if (error) return;  // missing, or a link to nowhere
  info.bPresent = true;
  if (device.parent_path() == "/dev/pts") {
    info.strDescription = "pseudo-terminal";
    return;
  }
  const fs::path ttyDir = fs::path(sysRoot) / "class" / "tty" / device.filename();
  // A legacy serial port's node exists whether or not a UART answers behind it.
  const std::string uartType = ReadAttribute(ttyDir / "type");
  if (uartType == "0") {
    info.bPresent = false;
    info.strDescription = "no UART";
    return;
  }
  // The name under /dev/serial/by-id says which adapter it is, whatever
  // number the kernel gave it today.
  info.strDescription = StableName(device, byIdDir);
  if (!info.strDescription.empty()) return;
  const fs::path hardware = fs::canonical(ttyDir / "device", error);
  if (error) return;  // no sysfs entry, or a terminal without hardware
  info.strDescription = UsbProduct(hardware);
  if (info.strDescription.empty()) {
    info.strDescription = uartType.empty() ? DriverName(hardware) : UartName(uartType);
  }
}

}  // namespace
#endif

ComPortInfo DescribeComPort(int comNumber, const std::string& sysRoot, const std::string& byIdDir) {
#ifdef _WIN32
  return DescribeComDevice(comNumber, {}, sysRoot, byIdDir);
#else
  return DescribeComDevice(comNumber, ResolveComNumber(comNumber), sysRoot, byIdDir);
#endif
}

ComPortInfo DescribeComDevice(int comNumber, const std::string& path, const std::string& sysRoot,
                              const std::string& byIdDir) {
  ComPortInfo info;
  info.nComNumber = comNumber;
#ifdef _WIN32
  // Windows opens the COM name itself and has no sysfs to describe it.
  static_cast<void>(path);
  static_cast<void>(sysRoot);
  static_cast<void>(byIdDir);
  info.strPath = "\\\\.\\COM" + std::to_string(comNumber);
#else
  info.strPath = path;
  if (!info.strPath.empty()) DescribeDevice(info, sysRoot, byIdDir);
#endif
  return info;
}

}  // namespace tarnwick
