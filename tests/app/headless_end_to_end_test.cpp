// The real program with --headless, and tarnwick-capture, on a
// pseudo-terminal, where no display could be opened: bytes sent just before
// each ending signal are all in both logs, the status is 0, and Tarnwick.cfg
// is left as it was; a capture set up by its options alone writes to a pipe
// and ends when the pipe's reader does; the status lines keep the counters
// after a loss.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
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

// A status line without its time, which must be ISO 8601 local time with
// milliseconds and the offset; the whole line when it has no such time.
std::string Untimed(const std::string& line) {
  static const std::regex time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )");
  std::smatch match;
  if (!std::regex_search(line, match, time)) return "(no time) " + line;
  return match.suffix();
}

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
  EXPECT_EQ(Untimed(program.ReadLine(20000)).rfind("COM1;", 0), 0u);
  // The port is open once the counters show.
  EXPECT_EQ(Untimed(program.ReadLine(20000)), "Bytes Read 0 / Write 0");

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
  for (int i = 0; i < 10 && line != said; ++i) line = Untimed(second->ReadLine(1000));
  EXPECT_EQ(line, said);
  second->Signal(SIGTERM);
  EXPECT_TRUE(WIFEXITED(second->Wait(10000)));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(tap)));
}

// 65 bytes, so that eight lines of eight units close.
std::vector<std::uint8_t> Numbers() {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 65; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 37 + 11));
  return bytes;
}

// HEX lines of eight units as the model formats them.
std::vector<std::string> HexLines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines(bytes.size() / 8);
  for (std::size_t i = 0; i < lines.size() * 8; ++i) {
    char unit[8];
    std::snprintf(unit, sizeof unit, " %02X", bytes[i]);
    lines[i / 8] += unit;
  }
  return lines;
}

struct ProgramCase {
  const char* name;
  const char* program;
  std::vector<std::string> args;  // besides the device, the rate and the logs
  std::vector<std::uint8_t> sent;
  std::vector<std::string> lines;  // what stdout shows, LF taken off
  bool bSocket = false;            // stdout a socket, as a service's journal
};

class CommandLineCapture : public ::testing::TestWithParam<ProgramCase> {};

// No cfg and no profile: the options set up the whole run. The text log's
// lines reach the pipe as they close; when the pipe's reader goes, the run
// ends with status 0 once the raw log has every byte.
TEST_P(CommandLineCapture, WritesLinesToAPipeAndEndsWhenItsReaderGoes) {
  const ProgramCase& c = GetParam();
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  std::vector<std::string> args = c.args;
  for (const char* arg : {"--baud", "115200", "--text-log", "-", "--raw-log", "raw.bin"}) {
    args.emplace_back(arg);
  }
  args.insert(args.end(), {"--device", pty.path()});
  ChildProcess program(c.program, args,
                       {{"QT_QPA_PLATFORM", "no-such-platform"},
                        {"DISPLAY", ""},
                        {"WAYLAND_DISPLAY", ""},
                        {"XDG_CONFIG_HOME", dir.File("profile")}},
                       dir.path().string(), true, false, true, c.bSocket);
  ASSERT_TRUE(program.started());
  // The summary first: no word of a missing Tarnwick.cfg.
  EXPECT_EQ(Untimed(program.ReadErrorLine(20000)).rfind("COM1;115200;8 bits;", 0), 0u);
  EXPECT_EQ(Untimed(program.ReadErrorLine(20000)), "Bytes Read 0 / Write 0");

  ASSERT_TRUE(pty.Write(c.sent));
  for (const std::string& line : c.lines) EXPECT_EQ(program.ReadLine(20000), line);

  program.CloseStdout();
  // The next line to close meets the broken pipe.
  const std::vector<std::uint8_t> more(17, 0x5A);
  ASSERT_TRUE(pty.Write(more));
  std::vector<unsigned char> all(c.sent.begin(), c.sent.end());
  all.insert(all.end(), more.begin(), more.end());
  const int status = program.Wait(20000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(dir.File("raw.bin")), all);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Tarnwick.cfg")));
}

const std::string kText = "one\r\ntwo\r\nthree\r\nfour\r\nxyz";

const std::vector<std::string> kHexArgs{"--format", "hex", "--columns", "8"};

const ProgramCase kProgramCases[] = {
    {"Headless",
     TARNWICK_PROGRAM,
     {"--headless", "--format", "hex", "--columns", "8"},
     Numbers(),
     HexLines(Numbers())},
    {"Capture", TARNWICK_CAPTURE, kHexArgs, Numbers(), HexLines(Numbers())},
    {"CaptureToASocket", TARNWICK_CAPTURE, kHexArgs, Numbers(), HexLines(Numbers()), true},
    // TEXT cut every 8 bytes (the defaults): the text as it came, its own
    // line ends and no other.
    {"CaptureText",
     TARNWICK_CAPTURE,
     {},
     {kText.begin(), kText.end()},
     {"one\r", "two\r", "three\r", "four\r"}},
};

INSTANTIATE_TEST_SUITE_P(Programs, CommandLineCapture, ::testing::ValuesIn(kProgramCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A reader that takes nothing for a while: the pipe takes what it holds, the
// rest is lost after the line's time, and the status lines count it, so
// that what came through and what was lost add up to what was received.
TEST(HeadlessStatus, WhatStandardOutputCouldNotTakeIsCounted) {
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  // At 3 Mbaud a byte waits 3.3 us for room: the test stays short.
  ChildProcess program(
      TARNWICK_CAPTURE, {"--device", pty.path(), "--baud", "3000000", "--raw-log", "-"},
      {{"XDG_CONFIG_HOME", dir.File("profile")}}, dir.path().string(), true, false, true);
  ASSERT_TRUE(program.started());
  EXPECT_EQ(Untimed(program.ReadErrorLine(20000)).rfind("COM1;3000000;", 0), 0u);
  EXPECT_EQ(Untimed(program.ReadErrorLine(20000)), "Bytes Read 0 / Write 0");
  const int sent = ::fcntl(program.StdoutFd(), F_GETPIPE_SZ) + 20000;
  ASSERT_TRUE(pty.Write(std::vector<std::uint8_t>(sent, 0x33)));

  const std::regex status(R"(Bytes Read (\d+) / Write 0; (\d+) bytes not written to the raw log)");
  long long through = 0;
  long long lost = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (through + lost != sent && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    program.Signal(SIGUSR1);
    const std::string line = Untimed(program.ReadErrorLine(20000));
    std::smatch match;
    if (std::regex_match(line, match, status) && std::stoi(match[1]) == sent) {
      lost = std::stoll(match[2]);
    }
    char chunk[65536];
    for (pollfd p{program.StdoutFd(), POLLIN, 0}; ::poll(&p, 1, 0) > 0;) {
      const ssize_t got = ::read(program.StdoutFd(), chunk, sizeof chunk);
      if (got <= 0) break;
      through += got;
    }
  }
  EXPECT_GT(lost, 0);
  EXPECT_EQ(through + lost, sent);
}

// After a loss the counters stay on every status line, with why the port is
// closed beside them: printed when it happens, on SIGUSR1 and at the end.
TEST(HeadlessStatus, TheCountersStayBesideALoss) {
  TempDir dir;
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  // The program must not hold the far side too, or it never hangs up.
  ::fcntl(pty.master(), F_SETFD, FD_CLOEXEC);
  ::fcntl(pty.keeper(), F_SETFD, FD_CLOEXEC);
  const std::string link = dir.File("port");
  std::filesystem::create_symlink(pty.path(), link);
  ChildProcess program(TARNWICK_CAPTURE, {"--device", link, "--format", "hex"},
                       {{"XDG_CONFIG_HOME", dir.File("profile")}}, dir.path().string(), true, true);
  ASSERT_TRUE(program.started());
  EXPECT_EQ(Untimed(program.ReadLine(20000)).rfind("COM1;", 0), 0u);
  EXPECT_EQ(Untimed(program.ReadLine(20000)), "Bytes Read 0 / Write 0");
  ASSERT_TRUE(pty.Write(std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  // Asked until the bytes are counted (a deadline, not a measured time).
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (line != "Bytes Read 5 / Write 0" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    program.Signal(SIGUSR1);
    line = Untimed(program.ReadLine(20000));
  }
  ASSERT_EQ(line, "Bytes Read 5 / Write 0");

  pty.CloseKeeper();
  pty.CloseMaster();  // unplugged; the name must not lead to the next pty
  std::filesystem::remove(link);
  const std::string lost = "Bytes Read 5 / Write 0; Port LOST !Input/output error";
  struct Print {
    const char* when;
    int signal;  // 0: printed by itself when the port is lost
  };
  for (const Print print :
       {Print{"at the loss", 0}, Print{"on SIGUSR1", SIGUSR1}, Print{"at the end", SIGTERM}}) {
    if (print.signal != 0) program.Signal(print.signal);
    EXPECT_EQ(Untimed(program.ReadLine(20000)), lost) << print.when;
  }
  const int status = program.Wait(20000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tarnwick
