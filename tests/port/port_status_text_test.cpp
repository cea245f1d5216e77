#include "port/port_status_text.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(PortStatusText, StateAndWords) {
  SETTINGS settings = DefaultSettings();
  settings.nPortIndex = 2;
  settings.nBaudIndex = 12;  // 115200
  const struct {
    const char* name;
    int parity, stop, bits;
    bool open, missing;
    const char* failure;
    PortState state;
    const char* text;
  } cases[] = {
      {"open", 0, 0, 3, true, false, "", PortState::kOpen, "COM3 /dev/ttyUSB0 115200 8N1"},
      {"open, even, 2 stop, 7 bits", 3, 2, 2, true, false, "", PortState::kOpen,
       "COM3 /dev/ttyUSB0 115200 7E2"},
      {"open, odd, 1.5 stop, 5 bits", 4, 1, 0, true, false, "", PortState::kOpen,
       "COM3 /dev/ttyUSB0 115200 5O1.5"},
      {"lost, device gone meanwhile", 0, 0, 3, false, true, "Port LOST !No such device",
       PortState::kLost, "COM3 /dev/ttyUSB0: Port LOST !No such device"},
      {"waiting", 0, 0, 3, false, true, "Open Port FAILED !No such file or directory",
       PortState::kWaiting, "COM3 /dev/ttyUSB0: waiting for the device"},
      {"busy", 0, 0, 3, false, false, "Open Port FAILED !Device or resource busy",
       PortState::kFailed, "COM3 /dev/ttyUSB0: Open Port FAILED !Device or resource busy"},
      {"disconnected after the device went", 0, 0, 3, false, true, "Disconnected",
       PortState::kDisconnected, "COM3 /dev/ttyUSB0: Disconnected"},
  };
  for (const auto& c : cases) {
    settings.nParityIndex = c.parity;
    settings.nStopBitsIndex = c.stop;
    settings.nDataBitsIndex = c.bits;
    const PortStatusText status =
        DescribePort(settings, "/dev/ttyUSB0", c.open, c.missing, c.failure);
    EXPECT_EQ(status.state, c.state) << c.name;
    EXPECT_EQ(status.text, c.text) << c.name;
  }
  EXPECT_EQ(LoggingText(true, true), "Logging raw, text");
  EXPECT_EQ(LoggingText(false, true), "Logging text");
  EXPECT_EQ(LoggingText(false, false), "");
}

// The second port in the status bar when it is not open and was not lost
// (the window's test shows it open and lost): the first port's colours.
TEST(PortStatusText, SecondPortStateAndWords) {
  const struct {
    SecondPortState state;
    PortState shown;
    const char* text;
  } cases[] = {
      {{true, false, false, true, "Open Port FAILED !No such file or directory"},
       PortState::kWaiting,
       "Listening on COM2 /dev/ttyS1: waiting for the device"},
      {{true, false, false, false, "Open Port FAILED !Device or resource busy"},
       PortState::kFailed,
       "Listening on COM2 /dev/ttyS1: Open Port FAILED !Device or resource busy"},
  };
  for (const auto& c : cases) {
    const PortStatusText status = DescribeSecondPort("COM2", "/dev/ttyS1", c.state);
    EXPECT_EQ(status.state, c.shown) << c.text;
    EXPECT_EQ(status.text, c.text);
  }
}

}  // namespace
}  // namespace tarnwick
