// The real program under a flood at the line's full speed: the window keeps
// serving its event loop (a signal ends it promptly), and every byte read is
// in the raw log and, formatted, in the text log.
#include <gtest/gtest.h>

#include <atomic>
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

std::uint8_t PatternByte(std::size_t i) {
  return static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
}

TEST(ProgramFlood, StaysResponsiveAndLosesNoByte) {
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());

  SETTINGS settings = testing::HexLoggingSettings(dir, true, true);
  settings.nColumns = 16;
  settings.nRows = 25;
  testing::WriteConfigFile(dir, settings);

  ChildProcess program(TARNWICK_PROGRAM, {},
                       {{"TARNWICK_COM1", pty.path()}, {"QT_QPA_PLATFORM", "offscreen"}},
                       dir.path().string());
  ASSERT_TRUE(program.started());

  // Feed as fast as the program drains, until told to stop or the far side
  // refuses (the program has closed the line).
  std::atomic<bool> stopFeeding{false};
  std::atomic<std::size_t> fed{0};
  std::thread feeder([&] {
    std::vector<std::uint8_t> chunk(4096);
    std::size_t offset = 0;
    while (!stopFeeding.load()) {
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = PatternByte(offset + i);
      if (!pty.Write(chunk)) break;
      offset += chunk.size();
      fed.store(offset);
    }
  });

  // Let the flood run until a few MiB went through.
  for (int i = 0; i < 200 && fed.load() < (4u << 20); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GE(fed.load(), 1u << 20) << "the program did not drain the line";

  // The signal is handled by the event loop: a prompt exit shows the window
  // was not starved by the flood.
  program.Signal(SIGTERM);
  const int status = program.Wait(20000);
  stopFeeding.store(true);
  feeder.join();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::vector<unsigned char> raw = ReadBytes(dir.File("raw.log"));
  ASSERT_GE(raw.size(), 1u << 20);
  ASSERT_LE(raw.size(), fed.load());
  std::size_t firstWrong = raw.size();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != PatternByte(i)) {
      firstWrong = i;
      break;
    }
  }
  EXPECT_EQ(firstWrong, raw.size()) << "raw log differs from the bytes sent";

  // Every byte read reaches the text log: three characters a unit.
  const std::vector<unsigned char> text = ReadBytes(dir.File("text.log"));
  ASSERT_EQ(text.size(), 3 * raw.size());
  bool textMatches = true;
  for (std::size_t i = 0; i < raw.size() && textMatches; ++i) {
    char unit[4];
    std::snprintf(unit, sizeof unit, " %02X", raw[i]);
    textMatches = std::memcmp(text.data() + 3 * i, unit, 3) == 0;
  }
  EXPECT_TRUE(textMatches);
}

}  // namespace
}  // namespace tarnwick
