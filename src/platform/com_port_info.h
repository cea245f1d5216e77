// What stands behind a COM number on this machine: the device path it opens,
// whether that device is there, and what it is (a USB adapter's product and
// maker as the kernel's sysfs tree tells them), so that a user finds their
// adapter in the port list without knowing how COM numbers map to devices.
#pragma once

#include <string>

namespace tarnwick {

struct ComPortInfo {
  int nComNumber = 0;
  std::string strPath;    // what COMn opens (ResolveComNumber); empty when nothing
  bool bPresent = false;  // a device is there to be opened
  // The stable name under /dev/serial/by-id, else what sysfs says ("FT232R
  // USB UART (FTDI)", "pseudo-terminal", ...); may be empty.
  std::string strDescription;
};

// sysRoot: where sysfs is mounted, byIdDir: where udev keeps the stable
// names of serial devices; tests pass trees of their own.
ComPortInfo DescribeComPort(int comNumber, const std::string& sysRoot = "/sys",
                            const std::string& byIdDir = "/dev/serial/by-id");
// The same for the device path a COM number would open, before it is
// stored (a device being typed).
ComPortInfo DescribeComDevice(int comNumber, const std::string& path,
                              const std::string& sysRoot = "/sys",
                              const std::string& byIdDir = "/dev/serial/by-id");

}  // namespace tarnwick
