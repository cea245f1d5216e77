// What the port list says about each COM number, against a sysfs tree and
// device nodes of the test's own.
#include "platform/com_port_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "scoped_env.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

void WriteText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A machine with an FTDI adapter (ttyUSB0), two CDC-ACM boards (ttyACM0,
// ttyACM1), one legacy port with a UART (ttyS0) and one without (ttyS1).
class ComPortInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path usb = Sys("devices/pci0000:00/0000:00:14.0/usb1");
    WriteText(usb / "1-2/product", "FT232R USB UART\n");
    WriteText(usb / "1-2/manufacturer", "FTDI\n");
    fs::create_directories(usb / "1-2/1-2:1.0/ttyUSB0");
    Link(usb / "1-2/1-2:1.0/ttyUSB0", "class/tty/ttyUSB0/device");
    // Descriptor strings are the device's own: control bytes, padding, length.
    WriteText(usb / "1-3/product", "  Pico\x01\x1b[2J" + std::string(100, 'x') + "\nsecond line");
    WriteText(usb / "1-3/manufacturer", "\n");
    fs::create_directories(usb / "1-3/1-3:1.0");
    Link(usb / "1-3/1-3:1.0", "class/tty/ttyACM0/device");

    fs::create_directories(usb / "1-4/1-4:1.0");
    fs::create_directories(Sys("bus/usb/drivers/cdc_acm"));
    fs::create_directory_symlink(Sys("bus/usb/drivers/cdc_acm"), usb / "1-4/1-4:1.0/driver");
    Link(usb / "1-4/1-4:1.0", "class/tty/ttyACM1/device");

    fs::create_directories(Sys("devices/pnp0/00:05"));
    Link(Sys("devices/pnp0/00:05"), "class/tty/ttyS0/device");
    WriteText(Sys("class/tty/ttyS0/type"), "4\n");
    fs::create_directories(Sys("devices/platform/serial8250/tty/ttyS1"));
    Link(Sys("devices/platform/serial8250/tty/ttyS1"), "class/tty/ttyS1/device");
    WriteText(Sys("class/tty/ttyS1/type"), "0\n");

    for (const char* node : {"ttyUSB0", "ttyACM0", "ttyACM1", "ttyS0", "ttyS1"})
      WriteText(Dev(node), "");
    fs::create_directories(m_dir.path() / "by-id");
    fs::create_symlink(Dev("ttyUSB0"), m_dir.path() / "by-id/usb-FTDI_FT232R-if00-port0");
  }

  fs::path Sys(const std::string& relative) const { return m_dir.path() / "sys" / relative; }
  fs::path Dev(const std::string& name) const { return m_dir.path() / "dev" / name; }
  void Link(const fs::path& target, const std::string& relative) const {
    fs::create_directories(Sys(relative).parent_path());
    fs::create_directory_symlink(target, Sys(relative));
  }

  TempDir m_dir;
};

TEST_F(ComPortInfoTest, DescribesWhatIsThereAndWhatIsNot) {
  const struct {
    const char* name;
    std::string path;  // TARNWICK_COM5 points here
    bool present;
    std::string description;
  } cases[] = {
      // A device with a stable name is known by it, whichever path leads there.
      {"USB adapter", Dev("ttyUSB0").string(), true, "usb-FTDI_FT232R-if00-port0"},
      {"through a by-id link", (m_dir.path() / "by-id/usb-FTDI_FT232R-if00-port0").string(), true,
       "usb-FTDI_FT232R-if00-port0"},
      {"USB board with odd strings", Dev("ttyACM0").string(), true,
       "Pico[2J" + std::string(64 - 7, 'x')},
      {"legacy port with a UART", Dev("ttyS0").string(), true, "16550A UART"},
      {"USB board known by its driver only", Dev("ttyACM1").string(), true, "cdc_acm"},
      {"legacy port without one", Dev("ttyS1").string(), false, "no UART"},
      {"adapter not plugged", Dev("ttyUSB1").string(), false, ""},
      {"link to nowhere", (m_dir.path() / "by-id/gone").string(), false, ""},
      {"serial server", "rfc2217://server:2217", false, "serial server (RFC 2217)"},
      {"raw TCP", "tcp://server:4001", false, "raw TCP, no line settings"},
  };
  fs::create_symlink(Dev("ttyUSB7"), m_dir.path() / "by-id/gone");
  for (const auto& c : cases) {
    ScopedEnv port("TARNWICK_COM5", c.path);
    const ComPortInfo info =
        DescribeComPort(5, Sys("").string(), (m_dir.path() / "by-id").string());
    EXPECT_EQ(info.nComNumber, 5) << c.name;
    EXPECT_EQ(info.strPath, c.path) << c.name;
    EXPECT_EQ(info.bPresent, c.present) << c.name;
    EXPECT_EQ(info.strDescription, c.description) << c.name;
  }
}

TEST_F(ComPortInfoTest, PseudoTerminalAndDefaultPaths) {
  testing::PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  ScopedEnv port("TARNWICK_COM2", pty.path());
  const ComPortInfo info = DescribeComPort(2, Sys("").string());
  EXPECT_TRUE(info.bPresent);
  EXPECT_EQ(info.strDescription, "pseudo-terminal");

  // Without a variable each number has its usual device path.
  ScopedEnv unset("TARNWICK_COM40", "");
  EXPECT_EQ(DescribeComPort(40, Sys("").string()).strPath, "/dev/ttyUSB7");
  EXPECT_EQ(DescribeComPort(99, Sys("").string()).strPath, "/dev/ttyAMA2");
}

}  // namespace
}  // namespace tarnwick
