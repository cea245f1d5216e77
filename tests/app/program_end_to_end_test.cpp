// The real program on a pseudo-terminal: bytes in, SIGTERM, then the logs
// and the configuration file as it left them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "child_process.h"
#include "logging_settings.h"
#include "settings/settings.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ChildProcess;
using testing::PseudoTerminal;
using testing::ReadBytes;
using testing::TempDir;

bool WaitForFileSize(const std::string& path, std::size_t size, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadBytes(path).size() >= size) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(ProgramEndToEnd, LogsEveryByteAndSavesTheConfigurationOnSigterm) {
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());

  SETTINGS settings = testing::HexLoggingSettings(dir, true, true);
  // Bytes the program never interprets must come back as they were.
  settings.dwReserved[1] = 0x77;
  settings.chPadding[0] = 0x11;
  settings.szTextFile[sizeof settings.szTextFile - 1] = 'Z';
  const std::vector<unsigned char> config = testing::WriteConfigFile(dir, settings);

  ChildProcess program(TARNWICK_PROGRAM, {},
                       {{"TARNWICK_COM1", pty.path()}, {"QT_QPA_PLATFORM", "offscreen"}},
                       dir.path().string());
  ASSERT_TRUE(program.started());

  std::vector<std::uint8_t> sent;
  for (int i = 0; i < 20; ++i) sent.push_back(static_cast<std::uint8_t>(i * 13));
  ASSERT_TRUE(pty.Write(sent));
  ASSERT_TRUE(WaitForFileSize(dir.File("raw.log"), sent.size(), 10000));

  program.Signal(SIGTERM);
  const int status = program.Wait(10000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(ReadBytes(dir.File("raw.log")), std::vector<unsigned char>(sent.begin(), sent.end()));
  // Eight units a line; the closed lines and, at exit, the pending one.
  std::string expected;
  for (std::uint8_t b : sent) {
    char unit[8];
    std::snprintf(unit, sizeof unit, " %02X", b);
    expected += unit;
  }
  const std::vector<unsigned char> text = ReadBytes(dir.File("text.log"));
  EXPECT_EQ(std::string(text.begin(), text.end()), expected);
  EXPECT_EQ(ReadBytes(dir.File("Tarnwick.cfg")), config);
}

TEST(ProgramEndToEnd, SigintEndsItAsExitDoes) {
  TempDir dir;
  ChildProcess program(TARNWICK_PROGRAM, {},
                       {{"TARNWICK_COM1", dir.File("missing")}, {"QT_QPA_PLATFORM", "offscreen"}},
                       dir.path().string());
  ASSERT_TRUE(program.started());
  // The first start shows its warning box; the signal closes it and the window.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  program.Signal(SIGINT);
  const int status = program.Wait(10000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(dir.File("Tarnwick.cfg")).size(), sizeof(SETTINGS));
}

}  // namespace
}  // namespace tarnwick
