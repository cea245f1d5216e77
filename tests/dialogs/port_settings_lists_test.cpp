// The Port Settings lists agree with the line tables, and the port entries
// say what each COM number opens.
#include "dialogs/port_settings_lists.h"

#include <gtest/gtest.h>

#include <string>

#include "port/line_tables.h"

namespace tarnwick {
namespace {

TEST(PortSettingsLists, BaudItemsAreTheRatesTheLineIsSetTo) {
  ASSERT_EQ(kBaudItems.size(), kBaudRates.size());
  for (std::size_t i = 0; i < kBaudItems.size(); ++i) {
    EXPECT_EQ(kBaudItems[i], std::to_string(kBaudRates[i])) << i;
  }
  EXPECT_EQ(kDataBitsItems.size(), static_cast<std::size_t>(kDataBitsCount));
  EXPECT_EQ(kParityItems.size(), kParityCodes.size());
  EXPECT_EQ(kStopBitsItems.size(), kStopBitsCodes.size());
  EXPECT_EQ(kDtrItems.size(), kDtrControlCodes.size());
  EXPECT_EQ(kRtsItems.size(), kRtsControlCodes.size());
}

TEST(PortSettingsLists, EntryAndDeviceLineOfEachKindOfPort) {
  const struct {
    ComPortInfo info;
    std::string entry;
    std::string line;
  } cases[] = {
      {{33, "/dev/ttyUSB0", true, "FT232R USB UART (FTDI)"},
       "COM33  /dev/ttyUSB0 - FT232R USB UART (FTDI)",
       "COM33 opens /dev/ttyUSB0: FT232R USB UART (FTDI)"},
      {{34, "/dev/ttyUSB1", false, ""},
       "COM34  /dev/ttyUSB1",
       "COM34 opens /dev/ttyUSB1: not present"},
      {{2, "/dev/ttyS1", false, "no UART"},
       "COM2  /dev/ttyS1 - no UART",
       "COM2 opens /dev/ttyS1: no UART"},
      {{7, "/tmp/link", true, ""}, "COM7  /tmp/link", "COM7 opens /tmp/link: present"},
      {{99, "", false, ""}, "COM99", "COM99 opens no device"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortListEntry(c.info), c.entry);
    EXPECT_EQ(PortDeviceLine(c.info), c.line);
  }
}

}  // namespace
}  // namespace tarnwick
