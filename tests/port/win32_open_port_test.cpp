// OpenPort on COM ports whose far side is a pseudo-terminal on the Linux side
// of Wine: the line as configured, and each failure with its status text.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "port/serial_line.h"
#include "settings/settings.h"
#include "support/far_side.h"

namespace tarnwick {
namespace {

using testing::FarSide;

std::string DeviceName(int number) { return "\\\\.\\COM" + std::to_string(number); }

class Win32OpenPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_far.ok()) GTEST_SKIP() << "no far side: run under tests/windows/far_side.py";
  }
  // Points the settings at COM number.
  void Use(int number) { m_settings.nPortIndex = number - 1; }

  FarSide m_far;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
};

struct LineRow {
  std::int32_t baud, dataBits, stopBits, parity, cts, dtr, rts;
  std::uint32_t rate;
  bool rateShown;  // the far side can show it: Wine sets the others as a
                   // divisor of 38400 that a pseudo-terminal does not have
};

// Every baud rate of the list, with data bits, stop bits, parity, flow control
// and modem-line settings varied across the rows.
const LineRow kLineRows[] = {
    {0, 0, 1, 0, 0, 0, 0, 110, true},      {1, 1, 2, 4, 0, 1, 0, 300, true},
    {2, 2, 0, 3, 0, 0, 1, 600, true},      {3, 3, 2, 2, 0, 2, 2, 1200, true},
    {4, 0, 0, 1, 0, 0, 1, 2400, true},     {5, 3, 0, 0, 1, 1, 1, 4800, true},
    {6, 3, 0, 0, 0, 0, 0, 9600, true},     {7, 2, 2, 4, 0, 1, 1, 14400, false},
    {8, 3, 0, 2, 0, 2, 2, 19200, true},    {9, 1, 0, 1, 0, 0, 0, 38400, true},
    {10, 0, 1, 4, 0, 0, 0, 56000, false},  {11, 3, 2, 3, 1, 1, 0, 57600, true},
    {12, 2, 0, 0, 0, 0, 0, 115200, true},  {13, 3, 0, 1, 1, 2, 1, 128000, false},
    {14, 1, 2, 2, 0, 0, 2, 256000, false}, {6, 3, 0, 0, 0, 0, 0, 9600, true},
};

// A pseudo-terminal keeps 8 data bits and no parity enable whatever it is
// told, so parity shows through PARODD and CMSPAR only (parity list order:
// none, space, mark, even, odd).
TEST_F(Win32OpenPortTest, LineMatchesTheSettingsForEveryRate) {
  const int port = m_far.NewPty();
  ASSERT_NE(0, port) << m_far.LastError();
  Use(port);
  SerialLine line(m_settings, *m_backend);
  for (const LineRow& row : kLineRows) {
    m_settings.nBaudIndex = row.baud;
    m_settings.nDataBitsIndex = row.dataBits;
    m_settings.nStopBitsIndex = row.stopBits;
    m_settings.nParityIndex = row.parity;
    m_settings.bUseCts = row.cts;
    m_settings.nDtrIndex = row.dtr;
    m_settings.nRtsIndex = row.rts;
    ASSERT_TRUE(line.OpenPort()) << row.rate << ": " << line.Status();
    ASSERT_NE(nullptr, line.Device());

    std::map<std::string, std::string> seen = m_far.Line(port);
    const bool odd = row.parity == 4, mark = row.parity == 2, space = row.parity == 1;
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    EXPECT_EQ(flag(row.stopBits != 0), seen["cstopb"]) << row.rate;
    EXPECT_EQ(flag(odd || mark), seen["parodd"]) << row.rate;
    EXPECT_EQ(flag(mark || space), seen["cmspar"]) << row.rate;
    // Both CTS output flow and RTS handshaking are the hardware handshake there.
    EXPECT_EQ(flag(row.cts != 0 || row.rts == 2), seen["crtscts"]) << row.rate;
    EXPECT_EQ("1", seen["cread"]) << row.rate;
    EXPECT_EQ("1", seen["raw"]) << row.rate;
    if (row.rateShown) {
      EXPECT_EQ(std::to_string(row.rate), seen["ospeed"]);
      EXPECT_EQ(std::to_string(row.rate), seen["ispeed"]);
    }
  }
  EXPECT_EQ(DeviceName(port), line.PortName());
  EXPECT_EQ("", line.Status());
}

// Wine's serial driver cannot toggle RTS around writes, as many USB adapters'
// drivers cannot: the refusal is reported and the port is let go.
TEST_F(Win32OpenPortTest, LineSettingRefusedByTheDriverReleasesThePort) {
  const int port = m_far.NewPty();
  ASSERT_NE(0, port) << m_far.LastError();
  Use(port);
  m_settings.nRtsIndex = 3;
  SerialLine line(m_settings, *m_backend);
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(nullptr, line.Device());
  EXPECT_EQ("SetPortState FAILED !" + m_backend->ErrorText(ERROR_NOT_SUPPORTED), line.Status());

  m_settings.nRtsIndex = 1;
  EXPECT_TRUE(line.OpenPort()) << line.Status();
  EXPECT_TRUE(m_far.Write(port, "after"));
  std::uint8_t buffer[8];
  std::size_t got = 0;
  for (int turn = 0; turn < 200 && got < 5; ++turn) {
    if (line.Device()->Wait(false, 2000) != WaitResult::kReady) break;
    got += line.Device()->Read(buffer + got, sizeof buffer - got).count;
  }
  EXPECT_EQ("after", std::string(reinterpret_cast<const char*>(buffer), got));
}

TEST_F(Win32OpenPortTest, MissingDeviceReportsTheSystemText) {
  const int port = m_far.NewMissing();
  ASSERT_NE(0, port) << m_far.LastError();
  Use(port);
  SerialLine line(m_settings, *m_backend);
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(nullptr, line.Device());
  EXPECT_EQ("Open Port FAILED !" + m_backend->ErrorText(ERROR_FILE_NOT_FOUND), line.Status());
  EXPECT_EQ(DeviceName(port), line.PortName());
}

// Opened without sharing: a second opener is refused while the first holds
// the device (Windows' serial drivers say access denied; Wine only refuses
// for files, so a file stands in for the device here).
TEST_F(Win32OpenPortTest, PortHeldByAnotherOpenerIsRefusedUntilReleased) {
  const int port = m_far.NewFile();
  ASSERT_NE(0, port) << m_far.LastError();
  Use(port);
  int error = 0;
  std::unique_ptr<SerialDevice> holder = m_backend->Open(DeviceName(port), &error);
  ASSERT_NE(nullptr, holder) << error;

  SerialLine second(m_settings, *m_backend);
  EXPECT_FALSE(second.OpenPort());
  EXPECT_EQ(nullptr, second.Device());
  EXPECT_EQ("Open Port FAILED !" + m_backend->ErrorText(ERROR_SHARING_VIOLATION), second.Status());

  holder.reset();
  // Now it opens, and fails only where a file is no serial line.
  EXPECT_FALSE(second.OpenPort());
  EXPECT_EQ(0u, second.Status().rfind("SetPortState FAILED !", 0)) << second.Status();
}

TEST_F(Win32OpenPortTest, FileIsNoSerialLineAndFailsToConfigure) {
  const int port = m_far.NewFile();
  ASSERT_NE(0, port) << m_far.LastError();
  Use(port);
  int error = 0;
  std::unique_ptr<SerialDevice> probe = m_backend->Open(DeviceName(port), &error);
  ASSERT_NE(nullptr, probe) << error;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  ASSERT_FALSE(probe->SetCommState(dcb));
  const int refusal = probe->LastError();
  ASSERT_NE(0, refusal);
  probe.reset();

  SerialLine line(m_settings, *m_backend);
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(nullptr, line.Device());
  EXPECT_EQ("SetPortState FAILED !" + m_backend->ErrorText(refusal), line.Status());
}

TEST_F(Win32OpenPortTest, StatusKeepsTheLastFailureAfterASuccessfulOpen) {
  const int missing = m_far.NewMissing();
  const int present = m_far.NewPty();
  ASSERT_TRUE(missing != 0 && present != 0) << m_far.LastError();
  SerialLine line(m_settings, *m_backend);
  Use(missing);
  ASSERT_FALSE(line.OpenPort());
  const std::string failure = line.Status();
  ASSERT_FALSE(failure.empty());
  Use(present);
  ASSERT_TRUE(line.OpenPort()) << line.Status();
  EXPECT_EQ(failure, line.Status());
  EXPECT_EQ(DeviceName(present), line.PortName());
}

}  // namespace
}  // namespace tarnwick
