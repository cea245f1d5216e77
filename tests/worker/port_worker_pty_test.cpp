// The worker on real pseudo-terminals through the platform backend: COM1 is
// mapped to the pty (or to a symlink that the test re-targets).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "display/screen_model.h"
#include "port/port_worker.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> HexLinesToBytes(const std::vector<DisplayLine>& lines) {
  std::vector<std::uint8_t> bytes;
  for (const auto& line : lines) {
    for (std::size_t i = 0; i + 3 <= line.size(); i += 3) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(i + 1, 2), nullptr, 16)));
    }
  }
  return bytes;
}

double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Points link at target, replacing what it pointed at in one step.
void Retarget(const std::string& link, const std::string& target) {
  const std::string fresh = link + ".new";
  std::filesystem::remove(fresh);
  std::filesystem::create_symlink(target, fresh);
  std::filesystem::rename(fresh, link);
}

// Whether this process has a descriptor open on the file at path.
bool HeldOpen(const std::string& path) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  if (error) return false;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(entry.path(), linkError) == target) return true;
  }
  return false;
}

class PortWorkerOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_pty.ok());
    m_settings.nPortIndex = 0;
    m_settings.nUnitFormatIndex = 1;  // HEX, one byte per unit
    m_settings.nUnitLengthIndex = 0;
    m_settings.nColumns = 16;
    m_settings.nRows = 100000;
    m_settings.bSaveRaw = 1;
    std::strcpy(m_settings.szRawFile, m_dir.File("raw.bin").c_str());
  }
  void TearDown() override {
    if (m_worker) m_worker->Stop();
    ::unsetenv("TARNWICK_COM1");
  }

  void StartOn(const std::string& devicePath) {
    ::setenv("TARNWICK_COM1", devicePath.c_str(), 1);
    m_live.Publish();
    m_worker = std::make_unique<PortWorker>(m_live, *m_backend, &m_model, &m_sink);
    m_worker->Start();
    ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }))
        << m_worker->Line().Status();
  }

  TempDir m_dir;
  PseudoTerminal m_pty;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  CountingSink m_sink;
  LiveSettings m_live{m_settings};
  ScreenModel m_model{m_live, nullptr};
  std::unique_ptr<PortWorker> m_worker;
};

TEST_F(PortWorkerOnPty, BytesInEqualRawLogAndScreen) {
  StartOn(m_pty.path());
  std::vector<std::uint8_t> sent(70000);
  for (std::size_t i = 0; i < sent.size(); ++i)
    sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  ASSERT_TRUE(m_pty.Write(sent));
  const auto total = static_cast<std::int32_t>(sent.size());
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == total; }))
      << m_worker->m_nBytesRead.load();
  m_worker->Stop();

  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), std::vector<unsigned char>(sent.begin(), sent.end()));
  EXPECT_EQ(HexLinesToBytes(m_model.Lines()), sent);
}

TEST_F(PortWorkerOnPty, HandedOverBlockArrivesOnFarSide) {
  StartOn(m_pty.path());
  std::vector<std::uint8_t> block(300);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(255 - i);
  m_worker->HandOver(block.data(), static_cast<std::int32_t>(block.size()));

  EXPECT_EQ(m_pty.Read(block.size(), 5000), block);
  ASSERT_TRUE(Eventually([&] { return m_worker->TxBuffer() == nullptr; }));
  EXPECT_EQ(m_worker->m_nBytesWritten.load(), 300);
  EXPECT_EQ(m_sink.CountersCount(), 300);
}

TEST_F(PortWorkerOnPty, LostFarSideIsReportedWithoutSpinningAndRecovered) {
  const std::string link = m_dir.File("com1");
  Retarget(link, m_pty.path());
  StartOn(link);
  ASSERT_TRUE(m_pty.Write(std::string("\x01\x02")));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 2; }));

  m_pty.CloseKeeper();
  m_pty.CloseMaster();  // the adapter is pulled and its device node goes away
  // (the pty's number may soon be another program's: the name must not lead there)
  Retarget(link, m_dir.File("absent"));
  ASSERT_TRUE(Eventually([&] { return !m_worker->m_bPortOpen.load(); }));
  const std::string status = m_worker->Line().Status();
  EXPECT_EQ(status.rfind("Port LOST !", 0), 0u) << status;
  EXPECT_GT(status.size(), std::strlen("Port LOST !")) << "the error's text follows";

  // While the device is gone the worker sleeps between attempts: a busy loop
  // would burn about a full second of CPU here.
  const double cpuBefore = ProcessCpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.2);
  EXPECT_EQ(m_worker->Line().Status().rfind("Port LOST !", 0), 0u);

  PseudoTerminal replacement;  // the adapter comes back under the same name
  ASSERT_TRUE(replacement.ok());
  Retarget(link, replacement.path());
  ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }));
  ASSERT_TRUE(replacement.Write(std::string("\x03\x04\x05")));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 5; }));
  m_worker->Stop();

  const std::vector<unsigned char> expected = {1, 2, 3, 4, 5};
  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), expected);
  EXPECT_EQ(HexLinesToBytes(m_model.Lines()),
            std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

// The adapter is plugged in after the program started: its device is opened
// as soon as it appears, without Port Settings being confirmed.
TEST_F(PortWorkerOnPty, DeviceThatAppearsLaterIsOpenedWithoutARequest) {
  const std::string link = m_dir.File("com1");
  ::setenv("TARNWICK_COM1", link.c_str(), 1);
  m_live.Publish();
  m_worker = std::make_unique<PortWorker>(m_live, *m_backend, &m_model, &m_sink);
  m_worker->Start();
  ASSERT_TRUE(Eventually([&] {
    return m_worker->Line().Status() == std::string("Open Port FAILED !") + std::strerror(ENOENT);
  })) << m_worker->Line().Status();
  EXPECT_FALSE(m_worker->m_bPortOpen.load());

  Retarget(link, m_pty.path());
  ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }))
      << m_worker->Line().Status();
  EXPECT_FALSE(m_worker->m_bReopenPort.load());
  ASSERT_TRUE(m_pty.Write(std::string("\x10\x20")));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 2; }));
  m_worker->Stop();
  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), (std::vector<unsigned char>{0x10, 0x20}));
}

// Settings published while the line runs take effect at the next bytes: a
// raw log switched off is closed and gets nothing more; a new path is opened
// and the old file is let go.
TEST_F(PortWorkerOnPty, RawLogFollowsThePublishedFlagAndPath) {
  const struct {
    const char* name;
    bool flagAfter;
    const char* pathAfter;
  } cases[] = {{"switched off", false, "raw.bin"}, {"moved", true, "moved.bin"}};
  for (const auto& c : cases) {
    TempDir dir;
    const std::string first = dir.File("raw.bin");
    const std::string after = dir.File(c.pathAfter);
    std::strcpy(m_settings.szRawFile, first.c_str());
    m_settings.bSaveRaw = 1;
    StartOn(m_pty.path());
    // The count comes before the log's write: the tests wait for the files.
    const std::vector<unsigned char> firstBytes{1, 2}, laterBytes{3, 4};
    ASSERT_TRUE(m_pty.Write(std::string("\x01\x02")));
    ASSERT_TRUE(Eventually([&] { return ReadBytes(first) == firstBytes; })) << c.name;
    EXPECT_TRUE(HeldOpen(first)) << c.name;

    m_settings.bSaveRaw = c.flagAfter ? 1 : 0;
    std::strcpy(m_settings.szRawFile, after.c_str());
    m_live.Publish();
    ASSERT_TRUE(m_pty.Write(std::string("\x03\x04")));
    ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 4; }));
    if (c.flagAfter) {
      EXPECT_TRUE(Eventually([&] { return ReadBytes(after) == laterBytes; })) << c.name;
      EXPECT_TRUE(HeldOpen(after)) << c.name;
    }
    EXPECT_TRUE(Eventually([&] { return !HeldOpen(first); })) << c.name;
    EXPECT_EQ(ReadBytes(first), firstBytes) << c.name;
    m_worker->Stop();
    m_worker.reset();
  }
}

std::size_t ThreadsOfThisProcess() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
    ++count;
  return count;
}

// A pseudo-terminal has no modem lines and counts no errors: the lamps are
// grey, the toggles and the pulse refused, the error pane "n/a", and no
// thread or look is spent on them.
TEST_F(PortWorkerOnPty, PseudoTerminalShowsNoLinesAndCostsNoWatcher) {
  m_settings.nDtrIndex = 1;  // ENABLE: the user's, were there a line
  m_settings.nRtsIndex = 0;  // DISABLE
  const std::size_t threads = ThreadsOfThisProcess();
  StartOn(m_pty.path());
  LineState& lines = m_worker->Lines();
  ASSERT_TRUE(Eventually([&] { return lines.Status().bOpen; }));
  const LineStatus status = lines.Status();
  EXPECT_FALSE(status.bModemLines);
  EXPECT_FALSE(status.bErrorsCounted);
  EXPECT_FALSE(status.bDtrSettable);
  EXPECT_FALSE(status.bRtsSettable);
  EXPECT_FALSE(lines.SetDtr(false));
  EXPECT_FALSE(lines.SetRts(true));
  EXPECT_FALSE(lines.PulseDtr());
  EXPECT_EQ(ThreadsOfThisProcess(), threads + 1);  // the worker alone

  ASSERT_TRUE(m_pty.Write(std::vector<std::uint8_t>{1, 2, 3}));
  ASSERT_TRUE(Eventually([&] { return m_worker->m_nBytesRead.load() == 3; }));
  EXPECT_EQ(lines.Status(), status);
  m_worker->Stop();
  EXPECT_FALSE(lines.Status().bOpen);
}

TEST_F(PortWorkerOnPty, StopReturnsWhileOpenAndWhileMissing) {
  StartOn(m_pty.path());
  m_worker->Stop();
  EXPECT_FALSE(m_worker->m_bRunning.load());
  EXPECT_EQ(m_worker->m_pView.load(), nullptr);

  ::setenv("TARNWICK_COM1", m_dir.File("absent").c_str(), 1);
  PortWorker missing(m_live, *m_backend, nullptr, &m_sink);
  missing.Start();
  ASSERT_TRUE(
      Eventually([&] { return missing.Line().Status().rfind("Open Port FAILED !", 0) == 0; }));
  missing.Stop();
  EXPECT_FALSE(missing.m_bPortOpen.load());
}

}  // namespace
}  // namespace tarnwick::testing
