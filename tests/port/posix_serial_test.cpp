// The POSIX device on a pseudo-terminal: reads that never wait, bounded
// writes, waits that a wake-up or a hang-up ends.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "port/serial_line.h"
#include "scoped_env.h"
#include "settings/settings.h"
#include "support/pseudo_terminal.h"

namespace tarnwick {
namespace {

using testing::PseudoTerminal;
using testing::ScopedEnv;

class PosixSerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_pty.ok());
    m_settings.nPortIndex = 11;  // COM12
  }

  // Opens the pseudo-terminal with the current settings.
  SerialDevice& Open() {
    ScopedEnv port("TARNWICK_COM12", m_pty.path());
    EXPECT_TRUE(m_line.OpenPort()) << m_line.Status();
    if (m_line.Device() == nullptr) throw std::runtime_error("port did not open");
    return *m_line.Device();
  }

  // Reads until count bytes arrived, waiting for input in between.
  std::string ReadAtLeast(SerialDevice& device, std::size_t count) {
    std::string got;
    for (int turns = 0; got.size() < count && turns < 100; ++turns) {
      if (device.Wait(false, 2000) != WaitResult::kReady) break;
      std::uint8_t buffer[64];
      const IoResult result = device.Read(buffer, sizeof buffer);
      EXPECT_EQ(0, result.error);
      got.append(reinterpret_cast<const char*>(buffer), result.count);
    }
    return got;
  }

  static IoResult WriteText(SerialDevice& device, const std::string& text) {
    return device.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }

  PseudoTerminal m_pty;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  SerialLine m_line{m_settings, *m_backend};
};

TEST_F(PosixSerialTest, ReadReturnsNothingWhenIdleAndWhatArrivedOtherwise) {
  SerialDevice& device = Open();
  std::uint8_t buffer[16];
  const IoResult idle = device.Read(buffer, sizeof buffer);
  EXPECT_EQ(0u, idle.count);
  EXPECT_EQ(0, idle.error);
  EXPECT_EQ(WaitResult::kTimeout, device.Wait(false, 0));

  ASSERT_TRUE(m_pty.Write(std::string("hello\r\n\0\xFF", 9)));
  EXPECT_EQ(std::string("hello\r\n\0\xFF", 9), ReadAtLeast(device, 9));
}

TEST_F(PosixSerialTest, WriteDeliversToTheFarSide) {
  SerialDevice& device = Open();
  const std::string text("abc\n\0\x80z", 7);
  const IoResult result = WriteText(device, text);
  EXPECT_EQ(text.size(), result.count);
  EXPECT_EQ(0, result.error);
  const std::vector<std::uint8_t> got = m_pty.Read(text.size(), 2000);
  EXPECT_EQ(text, std::string(got.begin(), got.end()));
}

// Nobody reads the far side: the write gives up when its time is over and
// reports how much it took, without an error.
TEST_F(PosixSerialTest, WriteStopsAtItsTimeout) {
  SerialDevice& device = Open();
  COMMTIMEOUTS timeouts = SerialLine::PortTimeouts();
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 20;
  ASSERT_TRUE(device.SetCommTimeouts(timeouts));
  const std::vector<std::uint8_t> block(4 * 1024 * 1024, 0x55);
  const IoResult result = device.Write(block.data(), block.size());
  EXPECT_LT(result.count, block.size());
  EXPECT_EQ(0, result.error);
}

TEST_F(PosixSerialTest, WaitReportsRoomForOutput) {
  SerialDevice& device = Open();
  EXPECT_EQ(WaitResult::kReady, device.Wait(true, 2000));
}

TEST_F(PosixSerialTest, WakeFromAnotherThreadEndsAnEndlessWait) {
  SerialDevice& device = Open();
  std::thread waker([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_backend->Wake();
  });
  EXPECT_EQ(WaitResult::kWoken, device.Wait(false, -1));
  waker.join();
  // The wake-up was consumed.
  EXPECT_EQ(WaitResult::kTimeout, device.Wait(false, 0));
}

TEST_F(PosixSerialTest, WakeBeforeTheWaitIsKept) {
  SerialDevice& device = Open();
  m_backend->Wake();
  m_backend->Wake();  // two wake-ups before a wait are one
  EXPECT_EQ(WaitResult::kWoken, device.Wait(false, -1));
  EXPECT_EQ(WaitResult::kTimeout, device.Wait(false, 0));
}

TEST_F(PosixSerialTest, SleepEndsOnWakeOrTimeout) {
  EXPECT_EQ(WaitResult::kTimeout, m_backend->Sleep(0));
  EXPECT_EQ(WaitResult::kTimeout, m_backend->Sleep(5));
  std::thread waker([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_backend->Wake();
  });
  EXPECT_EQ(WaitResult::kWoken, m_backend->Sleep(-1));
  waker.join();
  m_backend->Wake();
  EXPECT_EQ(WaitResult::kWoken, m_backend->Sleep(-1));
  EXPECT_EQ(WaitResult::kTimeout, m_backend->Sleep(0));
}

TEST_F(PosixSerialTest, ClosedFarSideIsAHangUpAndTheDeviceIsGone) {
  SerialDevice& device = Open();
  m_pty.CloseKeeper();
  m_pty.CloseMaster();
  EXPECT_EQ(WaitResult::kHangUp, device.Wait(false, 2000));
  std::uint8_t buffer[8];
  const IoResult read = device.Read(buffer, sizeof buffer);
  EXPECT_EQ(0u, read.count);
  EXPECT_TRUE(m_backend->IsDeviceGone(read.error)) << read.error;
  const IoResult write = WriteText(device, "x");
  EXPECT_TRUE(m_backend->IsDeviceGone(write.error)) << write.error;
}

// A pseudo-terminal has no modem lines: they read as asserted, so DSR flow
// control, DSR sensitivity, raised DTR and toggled RTS all let data through.
TEST_F(PosixSerialTest, ModemLineSettingsWorkOnADeviceWithoutModemLines) {
  m_settings.bUseDsr = 1;
  m_settings.bDsrSensitivity = 1;
  m_settings.nDtrIndex = 1;
  m_settings.nRtsIndex = 3;
  SerialDevice& device = Open();
  EXPECT_EQ(2u, WriteText(device, "ok").count);
  const std::vector<std::uint8_t> got = m_pty.Read(2, 2000);
  EXPECT_EQ("ok", std::string(got.begin(), got.end()));
  ASSERT_TRUE(m_pty.Write("in"));
  EXPECT_EQ("in", ReadAtLeast(device, 2));
}

// Nor has it anything to set, count or wait for: each says so at once.
TEST_F(PosixSerialTest, PseudoTerminalHasNoModemLinesToReadSetOrWaitForAndCountsNoErrors) {
  SerialDevice& device = Open();
  unsigned lines = 0xFF;
  EXPECT_FALSE(device.GetModemStatus(&lines));
  EXPECT_EQ(0xFFu, lines);
  EXPECT_FALSE(device.SetOutputLine(OutputLine::kDtr, false));
  EXPECT_FALSE(device.SetOutputLine(OutputLine::kRts, true));
  LineErrors errors{1, 1, 1, 1, 1};
  EXPECT_FALSE(device.GetLineErrors(&errors));
  EXPECT_EQ(1u, errors.overrun);
  EXPECT_EQ(ModemWait::kUnsupported, device.WaitModemChange());
  // An interruption that nobody waited for ends the next wait instead.
  device.InterruptModemWait();
  EXPECT_EQ(ModemWait::kInterrupted, device.WaitModemChange());
  EXPECT_EQ(ModemWait::kUnsupported, device.WaitModemChange());
  // The line still works.
  EXPECT_EQ(2u, WriteText(device, "ok").count);
  EXPECT_EQ(2u, m_pty.Read(2, 2000).size());
}

TEST(PosixSerialBackend, ErrorTextAndGoneErrors) {
  const auto backend = CreatePlatformSerialBackend();
  for (const int error : {ENOENT, EBUSY, ENOTTY, EINVAL, EIO}) {
    const std::string text = backend->ErrorText(error);
    EXPECT_EQ(std::strerror(error), text);
    ASSERT_FALSE(text.empty());
    EXPECT_NE('\n', text.back());
  }
  for (const int error : {EIO, ENXIO, ENODEV}) EXPECT_TRUE(backend->IsDeviceGone(error)) << error;
  for (const int error : {0, EAGAIN, ENOENT, EBUSY, EINVAL}) {
    EXPECT_FALSE(backend->IsDeviceGone(error)) << error;
  }
  // Missing: looked for again unasked. Busy, refused, misconfigured: not.
  for (const int error : {ENOENT, ENOTDIR, ENXIO, ENODEV}) {
    EXPECT_TRUE(backend->IsDeviceMissing(error)) << error;
  }
  for (const int error : {0, EBUSY, EACCES, EPERM, ENOTTY, EINVAL, EIO}) {
    EXPECT_FALSE(backend->IsDeviceMissing(error)) << error;
  }
}

}  // namespace
}  // namespace tarnwick
