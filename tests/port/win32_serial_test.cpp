// The Win32 device on a COM port whose far side is a pseudo-terminal under
// Wine: reads that never wait, bounded writes, waits that a wake-up or a
// hang-up ends, and the system's error texts.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "port/serial_line.h"
#include "settings/settings.h"
#include "support/far_side.h"

namespace tarnwick {
namespace {

using testing::FarSide;

class Win32SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_far.ok()) GTEST_SKIP() << "no far side: run under tests/windows/far_side.py";
    m_port = m_far.NewPty();
    ASSERT_NE(0, m_port) << m_far.LastError();
    m_settings.nPortIndex = m_port - 1;
  }

  // Opens the port with the current settings.
  SerialDevice& Open() {
    EXPECT_TRUE(m_line.OpenPort()) << m_line.Status();
    if (m_line.Device() == nullptr) throw std::runtime_error("port did not open");
    return *m_line.Device();
  }

  // Reads until count bytes arrived, waiting for input in between.
  static std::vector<std::uint8_t> ReadAtLeast(SerialDevice& device, std::size_t count) {
    std::vector<std::uint8_t> got;
    for (int turns = 0; got.size() < count && turns < 1000; ++turns) {
      if (device.Wait(false, 2000) != WaitResult::kReady) break;
      std::uint8_t buffer[256];
      const IoResult result = device.Read(buffer, sizeof buffer);
      EXPECT_EQ(0, result.error);
      got.insert(got.end(), buffer, buffer + result.count);
    }
    return got;
  }

  static IoResult WriteText(SerialDevice& device, const std::string& text) {
    return device.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }

  FarSide m_far;
  int m_port = 0;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  SerialLine m_line{m_settings, *m_backend};
};

std::vector<std::uint8_t> EveryByteValue() {
  std::vector<std::uint8_t> bytes(256);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}

TEST_F(Win32SerialTest, ReadReturnsNothingWhenIdleAndWhatArrivedOtherwise) {
  SerialDevice& device = Open();
  std::uint8_t buffer[16];
  const IoResult idle = device.Read(buffer, sizeof buffer);
  EXPECT_EQ(0u, idle.count);
  EXPECT_EQ(0, idle.error);
  EXPECT_EQ(WaitResult::kTimeout, device.Wait(false, 0));

  // Every byte value, XON, XOFF, CR and NUL among them, arrives unchanged.
  const std::vector<std::uint8_t> sent = EveryByteValue();
  ASSERT_TRUE(m_far.Write(m_port, sent)) << m_far.LastError();
  EXPECT_EQ(sent, ReadAtLeast(device, sent.size()));
}

TEST_F(Win32SerialTest, WriteDeliversEveryByteValueToTheFarSide) {
  SerialDevice& device = Open();
  const std::vector<std::uint8_t> sent = EveryByteValue();
  const IoResult result = device.Write(sent.data(), sent.size());
  EXPECT_EQ(sent.size(), result.count);
  EXPECT_EQ(0, result.error);
  EXPECT_EQ(sent, m_far.Read(m_port, sent.size(), 5000));
}

// Nobody reads the far side: the write gives up when its time is over and
// reports how much it took, without an error.
TEST_F(Win32SerialTest, WriteStopsAtItsTimeout) {
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

TEST_F(Win32SerialTest, WaitReportsRoomForOutput) {
  SerialDevice& device = Open();
  EXPECT_EQ(WaitResult::kReady, device.Wait(true, 2000));
}

TEST_F(Win32SerialTest, WakeFromAnotherThreadEndsAnEndlessWait) {
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

TEST_F(Win32SerialTest, WakeBeforeTheWaitIsKept) {
  SerialDevice& device = Open();
  m_backend->Wake();
  m_backend->Wake();  // two wake-ups before a wait are one
  EXPECT_EQ(WaitResult::kWoken, device.Wait(false, -1));
  EXPECT_EQ(WaitResult::kTimeout, device.Wait(false, 0));
}

TEST_F(Win32SerialTest, SleepEndsOnWakeOrTimeout) {
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

TEST_F(Win32SerialTest, ClosedFarSideIsAHangUpAndTheDeviceIsGone) {
  SerialDevice& device = Open();
  ASSERT_TRUE(m_far.HangUp(m_port)) << m_far.LastError();
  EXPECT_EQ(WaitResult::kHangUp, device.Wait(false, 2000));
  std::uint8_t buffer[8];
  const IoResult read = device.Read(buffer, sizeof buffer);
  EXPECT_EQ(0u, read.count);
  EXPECT_TRUE(read.error == 0 || m_backend->IsDeviceGone(read.error)) << read.error;
  const IoResult write = WriteText(device, "x");
  EXPECT_EQ(0u, write.count);
  EXPECT_TRUE(m_backend->IsDeviceGone(write.error)) << write.error;
}

// Without modem lines behind them, DSR flow control, DSR sensitivity, raised
// DTR and RTS handshaking still let data through both ways.
TEST_F(Win32SerialTest, ModemLineSettingsLetDataThroughWithoutModemLines) {
  m_settings.bUseDsr = 1;
  m_settings.bDsrSensitivity = 1;
  m_settings.nDtrIndex = 1;
  m_settings.nRtsIndex = 2;
  SerialDevice& device = Open();
  EXPECT_EQ(2u, WriteText(device, "ok").count);
  EXPECT_EQ("ok", m_far.ReadText(m_port, 2, 5000));
  ASSERT_TRUE(m_far.Write(m_port, "in"));
  const std::vector<std::uint8_t> got = ReadAtLeast(device, 2);
  EXPECT_EQ("in", std::string(got.begin(), got.end()));
}

// The pseudo-terminal behind the port has no modem lines to read or set; the
// driver's error flags are there, and none is set. Changes are not waited
// for on this synchronous handle: the line state looks instead.
TEST_F(Win32SerialTest, PortWithoutModemLinesRefusesThemAndCountsNoErrors) {
  SerialDevice& device = Open();
  unsigned lines = 0xFF;
  EXPECT_FALSE(device.GetModemStatus(&lines));
  EXPECT_FALSE(device.SetOutputLine(OutputLine::kDtr, false));
  EXPECT_FALSE(device.SetOutputLine(OutputLine::kRts, true));
  EXPECT_EQ(ModemWait::kUnsupported, device.WaitModemChange());
  LineErrors errors{9, 9, 9, 9, 9};
  ASSERT_TRUE(device.GetLineErrors(&errors));
  EXPECT_EQ(LineErrors{}, errors);
  // The line still works, and waiting for input still sees it.
  ASSERT_TRUE(m_far.Write(m_port, "in"));
  const std::vector<std::uint8_t> got = ReadAtLeast(device, 2);
  EXPECT_EQ("in", std::string(got.begin(), got.end()));
  ASSERT_TRUE(device.GetLineErrors(&errors));
  EXPECT_EQ(0u, errors.Total());
}

// The system's sentence for a code, as FormatMessageA gives it.
std::string SystemSentence(DWORD code) {
  char buffer[1024] = {};
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

// The status line shows the sentence without the line break it ends in.
TEST(Win32SerialBackend, ErrorTextIsTheSystemSentenceWithoutItsLineBreak) {
  const auto backend = CreatePlatformSerialBackend();
  for (const DWORD code :
       {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_GEN_FAILURE,
        ERROR_NOT_SUPPORTED, ERROR_INVALID_PARAMETER, ERROR_DEVICE_NOT_CONNECTED}) {
    const std::string text = backend->ErrorText(static_cast<int>(code));
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(SystemSentence(code), text + "\r\n") << code;
  }
  // A code the system has no sentence for gives none.
  EXPECT_EQ("", backend->ErrorText(0x12345));

  SETTINGS settings = DefaultSettings();
  SerialLine line(settings, *backend);
  EXPECT_FALSE(line.ReportError("Read FAILED !", ERROR_GEN_FAILURE));
  EXPECT_EQ("Read FAILED !" + backend->ErrorText(ERROR_GEN_FAILURE), line.Status());
  EXPECT_FALSE(line.ReportError("Nothing known !", 0x12345));
  EXPECT_EQ("Nothing known !", line.Status());
}

TEST(Win32SerialBackend, ErrorsThatMeanTheDeviceIsGone) {
  const auto backend = CreatePlatformSerialBackend();
  for (const DWORD code : {ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_NOT_READY,
                           ERROR_GEN_FAILURE, ERROR_OPERATION_ABORTED, ERROR_DEVICE_REMOVED,
                           ERROR_DEVICE_NOT_CONNECTED, ERROR_INVALID_HANDLE}) {
    EXPECT_TRUE(backend->IsDeviceGone(static_cast<int>(code))) << code;
  }
  for (const DWORD code : {ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION,
                           ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED, ERROR_TIMEOUT}) {
    EXPECT_FALSE(backend->IsDeviceGone(static_cast<int>(code))) << code;
  }
}

}  // namespace
}  // namespace tarnwick
