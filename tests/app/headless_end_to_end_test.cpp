// The real program with --headless on a pseudo-terminal, where no display
// could be opened: bytes sent just before each ending signal are all in both
// logs, the status is 0, and Tarnwick.cfg is left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "child_process.h"
#include "logging_settings.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ChildProcess;
using testing::PseudoTerminal;
using testing::ReadBytes;
using testing::TempDir;

struct EndCase {
  const char* name;
  int signal;
  std::vector<std::string> extraArgs;
  int parts;  // numbered log parts expected before the file being written
};

// NAME.1 ... NAME.parts, then NAME: the capture in the order written.
std::vector<unsigned char> Joined(const std::string& path, int parts) {
  std::vector<unsigned char> all;
  for (int i = 1; i <= parts + 1; ++i) {
    const std::vector<unsigned char> part =
        ReadBytes(i <= parts ? path + "." + std::to_string(i) : path);
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

class HeadlessEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(HeadlessEnd, EveryByteSentBeforeTheSignalIsInBothLogs) {
  const EndCase& c = GetParam();
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  testing::WriteConfigFile(dir, testing::HexLoggingSettings(dir, true, true));
  struct stat before {};
  ASSERT_EQ(::stat(dir.File("Tarnwick.cfg").c_str(), &before), 0);

  std::vector<std::string> args{"--headless"};
  args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
  // A window toolkit that started would fail on this platform and display.
  ChildProcess program(TARNWICK_PROGRAM, args,
                       {{"TARNWICK_COM1", pty.path()},
                        {"QT_QPA_PLATFORM", "no-such-platform"},
                        {"DISPLAY", ""},
                        {"WAYLAND_DISPLAY", ""},
                        {"XDG_CONFIG_HOME", dir.File("profile")}},
                       dir.path().string(), true, true);
  ASSERT_TRUE(program.started());
  EXPECT_EQ(program.ReadLine(20000).rfind("COM1;", 0), 0u);
  // The port is open once the counters show.
  EXPECT_EQ(program.ReadLine(20000), "Bytes Read 0 / Write 0");

  std::vector<std::uint8_t> sent;
  for (int i = 0; i < 20000; ++i) sent.push_back(static_cast<std::uint8_t>(i * 7 + i / 256));
  ASSERT_TRUE(pty.Write(sent));
  // At once: what the line still holds is read before the program ends.
  program.Signal(c.signal);
  const int status = program.Wait(20000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(Joined(dir.File("raw.log"), c.parts),
            std::vector<unsigned char>(sent.begin(), sent.end()));
  // Lines without separators; at exit the pending line is written too.
  std::string expected;
  for (std::uint8_t b : sent) {
    char unit[8];
    std::snprintf(unit, sizeof unit, " %02X", b);
    expected += unit;
  }
  const std::vector<unsigned char> text = Joined(dir.File("text.log"), c.parts * 3);
  EXPECT_EQ(std::string(text.begin(), text.end()), expected);
  struct stat after {};
  ASSERT_EQ(::stat(dir.File("Tarnwick.cfg").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, HeadlessEnd,
    ::testing::Values(EndCase{"Sigterm", SIGTERM, {}, 0}, EndCase{"Sigint", SIGINT, {}, 0},
                      EndCase{"Sighup", SIGHUP, {}, 0},
                      // 20000 raw bytes in parts of 6000; 60000 text bytes likewise.
                      EndCase{"SigtermRotating", SIGTERM, {"--rotate-size", "6000"}, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// kill -9 leaves the tap's link behind. The next run replaces it and says
// so in one line; a clean end removes it.
TEST(HeadlessTap, TheNextRunReplacesTheLinkOfARunThatWasKilled) {
  TempDir dir;
  PseudoTerminal pty;
  testing::WriteConfigFile(dir, testing::HexLoggingSettings(dir, false, false));
  const std::string tap = dir.File("tap");
  const auto linked = [&] {
    std::error_code error;
    return std::filesystem::read_symlink(tap, error).string();
  };
  const auto start = [&] {
    return std::make_unique<ChildProcess>(
        TARNWICK_PROGRAM, std::vector<std::string>{"--headless", "--tap", tap},
        std::vector<std::pair<std::string, std::string>>{{"TARNWICK_COM1", pty.path()},
                                                         {"QT_QPA_PLATFORM", "no-such-platform"},
                                                         {"XDG_CONFIG_HOME", dir.File("profile")}},
        dir.path().string(), true, true);
  };
  auto first = start();
  for (int i = 0; i < 1000 && linked().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::string left = linked();
  ASSERT_TRUE(left.starts_with("/dev/pts/")) << left;
  first->Signal(SIGKILL);
  ASSERT_TRUE(WIFSIGNALED(first->Wait(5000)));

  auto second = start();
  const std::string said = "Offering the port at " + tap + ": replaced the link to " + left +
                           " that a run which ended without removing it left there.";
  std::string line;
  for (int i = 0; i < 10 && line != said; ++i) line = second->ReadLine(1000);
  EXPECT_EQ(line, said);
  second->Signal(SIGTERM);
  EXPECT_TRUE(WIFEXITED(second->Wait(10000)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(tap)));
}

}  // namespace
}  // namespace tarnwick
