// OpenPort on real pseudo-terminals: the line as configured, and each failure
// with its status text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "port/serial_line.h"
#include "scoped_env.h"
#include "settings/settings.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"
#include "termios2_probe.h"

namespace tarnwick {
namespace {

using testing::PseudoTerminal;
using testing::ScopedEnv;
using testing::TempDir;

constexpr int kPortIndex = 6;  // COM7
constexpr const char* kPortVariable = "TARNWICK_COM7";

class OpenPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_pty.ok());
    m_settings.nPortIndex = kPortIndex;
  }

  PseudoTerminal m_pty;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
};

struct LineRow {
  std::int32_t baud, dataBits, stopBits, parity, cts, dtr, rts;
  std::uint32_t rate;
};

// Every baud rate of the list, with data bits, stop bits, parity, flow control
// and modem-line settings varied across the rows.
const LineRow kLineRows[] = {
    {0, 0, 1, 0, 0, 0, 0, 110},     {1, 1, 2, 4, 0, 1, 0, 300},     {2, 2, 0, 3, 0, 0, 1, 600},
    {3, 3, 2, 2, 0, 2, 2, 1200},    {4, 0, 0, 1, 0, 0, 3, 2400},    {5, 3, 0, 0, 1, 1, 1, 4800},
    {6, 3, 0, 0, 0, 0, 0, 9600},    {7, 2, 2, 4, 0, 1, 1, 14400},   {8, 3, 0, 2, 0, 2, 2, 19200},
    {9, 1, 0, 1, 0, 0, 3, 38400},   {10, 0, 1, 4, 0, 0, 0, 56000},  {11, 3, 2, 3, 1, 1, 0, 57600},
    {12, 2, 0, 0, 0, 0, 0, 115200}, {13, 3, 0, 1, 1, 2, 1, 128000}, {14, 1, 2, 2, 0, 0, 3, 256000},
    {6, 3, 0, 0, 0, 0, 0, 9600},
};

// Reopening one line through the rows also checks that a rate set as a
// number (14400) leaves nothing behind for the next rate set by constant.
TEST_F(OpenPortTest, LineMatchesTheSettingsForEveryRate) {
  ScopedEnv port(kPortVariable, m_pty.path());
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

    // The far side shares the near side's termios.
    struct termios tio;
    ASSERT_EQ(0, ::tcgetattr(m_pty.master(), &tio));
    const bool odd = row.parity == 4, mark = row.parity == 2, space = row.parity == 1;
    EXPECT_EQ(row.stopBits != 0, (tio.c_cflag & CSTOPB) != 0) << row.rate;
    EXPECT_EQ(odd || mark, (tio.c_cflag & PARODD) != 0) << row.rate;
    EXPECT_EQ(mark || space, (tio.c_cflag & CMSPAR) != 0) << row.rate;
    EXPECT_EQ(row.cts != 0, (tio.c_cflag & CRTSCTS) != 0) << row.rate;
    EXPECT_EQ(CLOCAL | CREAD, tio.c_cflag & (CLOCAL | CREAD)) << row.rate;
    EXPECT_EQ(0u, tio.c_lflag & (ICANON | ECHO | ISIG)) << row.rate;
    EXPECT_EQ(0u, tio.c_oflag & OPOST) << row.rate;

    std::uint32_t input = 0, output = 0;
    ASSERT_TRUE(testing::ReadLineSpeeds(m_pty.master(), &input, &output));
    EXPECT_EQ(row.rate, output);
    EXPECT_EQ(row.rate, input);
  }
  EXPECT_EQ("\\\\.\\COM7", line.PortName());
  EXPECT_EQ("", line.Status());
}

TEST_F(OpenPortTest, OneAndAHalfStopBitsWithFiveDataBits) {
  ScopedEnv port(kPortVariable, m_pty.path());
  m_settings.nDataBitsIndex = 0;
  m_settings.nStopBitsIndex = 1;
  SerialLine line(m_settings, *m_backend);
  ASSERT_TRUE(line.OpenPort()) << line.Status();
  struct termios tio;
  ASSERT_EQ(0, ::tcgetattr(m_pty.master(), &tio));
  EXPECT_NE(0u, tio.c_cflag & CSTOPB);
}

// A lost port's retries keep the loss as the text shown; an open that works
// still opens.
TEST_F(OpenPortTest, OpeningKeepingTheStatusLeavesItOnFailure) {
  TempDir dir;
  ScopedEnv port(kPortVariable, dir.File("no-such-device"));
  SerialLine line(m_settings, *m_backend);
  line.SetStatus("Port LOST !gone");
  EXPECT_FALSE(line.OpenPortKeepingStatus());
  EXPECT_EQ(line.Status(), "Port LOST !gone");
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(line.Status(), std::string("Open Port FAILED !") + std::strerror(ENOENT));
  ScopedEnv present(kPortVariable, m_pty.path());
  EXPECT_TRUE(line.OpenPortKeepingStatus());
}

TEST_F(OpenPortTest, MissingDeviceReportsTheSystemText) {
  TempDir dir;
  ScopedEnv port(kPortVariable, dir.File("no-such-device"));
  SerialLine line(m_settings, *m_backend);
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(nullptr, line.Device());
  EXPECT_EQ(std::string("Open Port FAILED !") + std::strerror(ENOENT), line.Status());
  EXPECT_EQ("\\\\.\\COM7", line.PortName());
  EXPECT_TRUE(line.DeviceMissing());

  // A path that leads through a plain file names no device either.
  testing::WriteBytes(dir.File("plain"), {1});
  ScopedEnv through(kPortVariable, dir.File("plain") + "/tty0");
  EXPECT_FALSE(line.OpenPort());
  EXPECT_TRUE(line.DeviceMissing()) << line.Status();
}

TEST_F(OpenPortTest, PortHeldByAnotherLineIsBusyUntilReleased) {
  ScopedEnv port(kPortVariable, m_pty.path());
  SerialLine first(m_settings, *m_backend);
  SerialLine second(m_settings, *m_backend);
  ASSERT_TRUE(first.OpenPort()) << first.Status();
  EXPECT_FALSE(second.OpenPort());
  EXPECT_EQ(nullptr, second.Device());
  EXPECT_EQ(std::string("Open Port FAILED !") + std::strerror(EBUSY), second.Status());
  EXPECT_FALSE(second.DeviceMissing());  // there, but busy: no retries unasked
  EXPECT_NE(nullptr, first.Device());

  first.ClosePort();
  EXPECT_TRUE(second.OpenPort()) << second.Status();
}

TEST_F(OpenPortTest, StopBitsTheLineCannotMakeAreRefused) {
  ScopedEnv port(kPortVariable, m_pty.path());
  const struct { std::int32_t dataBits, stopBits; } cases[] = {{3, 1}, {2, 1}, {1, 1}, {0, 2}};
  for (const auto& c : cases) {
    m_settings.nDataBitsIndex = c.dataBits;
    m_settings.nStopBitsIndex = c.stopBits;
    SerialLine line(m_settings, *m_backend);
    EXPECT_FALSE(line.OpenPort());
    EXPECT_EQ(nullptr, line.Device());
    EXPECT_EQ(std::string("SetPortState FAILED !") + std::strerror(EINVAL), line.Status())
        << c.dataBits + 5 << " bits, stop index " << c.stopBits;
  }
  // The refused attempts released the port.
  m_settings.nDataBitsIndex = 3;
  m_settings.nStopBitsIndex = 0;
  SerialLine line(m_settings, *m_backend);
  EXPECT_TRUE(line.OpenPort()) << line.Status();
}

TEST_F(OpenPortTest, PathsThatAreNoTerminalFailToConfigure) {
  TempDir dir;
  const std::string file = dir.File("plain-file");
  testing::WriteBytes(file, {1, 2, 3});
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  for (const std::string& path : {file, fifo, std::string("/dev/null")}) {
    ScopedEnv port(kPortVariable, path);
    SerialLine line(m_settings, *m_backend);
    EXPECT_FALSE(line.OpenPort());
    EXPECT_EQ(nullptr, line.Device());
    EXPECT_EQ(std::string("SetPortState FAILED !") + std::strerror(ENOTTY), line.Status()) << path;
    EXPECT_FALSE(line.DeviceMissing()) << path;
  }
}

TEST_F(OpenPortTest, StatusKeepsTheLastFailureAfterASuccessfulOpen) {
  SerialLine line(m_settings, *m_backend);
  {
    ScopedEnv port(kPortVariable, "/dev/null");
    ASSERT_FALSE(line.OpenPort());
  }
  const std::string failure = line.Status();
  ASSERT_FALSE(failure.empty());
  ScopedEnv port(kPortVariable, m_pty.path());
  ASSERT_TRUE(line.OpenPort());
  EXPECT_EQ(failure, line.Status());
}

TEST_F(OpenPortTest, ReportErrorAppendsTheTextOfTheCode) {
  SerialLine line(m_settings, *m_backend);
  EXPECT_EQ("COM1", line.PortName());
  EXPECT_FALSE(line.ReportError("Nothing known !", 0));
  EXPECT_EQ("Nothing known !", line.Status());
  EXPECT_FALSE(line.ReportError("Read FAILED !", EIO));
  EXPECT_EQ(std::string("Read FAILED !") + std::strerror(EIO), line.Status());
}

}  // namespace
}  // namespace tarnwick
