// The device simulator as make run and the screenshots use it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ChildProcess;

std::vector<std::uint8_t> ReadAtLeast(int fd, std::size_t count, int timeoutMs) {
  std::vector<std::uint8_t> out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::uint8_t buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return out;
}

TEST(Simulator, SendsTextAndFloatFramesEchoesAndStopsOnSigterm) {
  testing::TempDir dir;
  const std::string link = dir.File("port");
  ChildProcess sim(TARNWICK_SIMULATOR, {"--link", link, "--rate", "20000"}, {}, "", true);
  ASSERT_TRUE(sim.started());
  const std::string path = sim.ReadLine(5000);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  const std::vector<std::uint8_t> stream = ReadAtLeast(fd, 64, 5000);
  ASSERT_GE(stream.size(), 64u);
  // First a text line padded to 48 bytes, then a 16-byte frame.
  const std::string line(stream.begin(), stream.begin() + 48);
  EXPECT_EQ(line.rfind("SEQ 00000 TEMP", 0), 0u) << line;
  EXPECT_EQ(line.substr(46), "\r\n");
  EXPECT_EQ(stream[48], 0xA5);
  EXPECT_EQ(stream[49], 0x5A);
  EXPECT_EQ(stream[51], 1);  // sequence number
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits = (bits << 8) | stream[52 + i];
  const float temperature = std::bit_cast<float>(bits);
  EXPECT_GT(temperature, 15.0f);
  EXPECT_LT(temperature, 30.0f);

  const std::string ping = "PING-1234";
  ASSERT_EQ(::write(fd, ping.data(), ping.size()), static_cast<ssize_t>(ping.size()));
  const std::vector<std::uint8_t> more = ReadAtLeast(fd, 2000, 3000);
  const std::string text(more.begin(), more.end());
  EXPECT_NE(text.find(ping), std::string::npos);
  ::close(fd);

  sim.Signal(SIGTERM);
  const int status = sim.Wait(5000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));
}

// Tarnwick sends one byte per write; the echo keeps their order even while
// the device is still in the middle of one of its own messages.
TEST(Simulator, EchoesBytesWrittenOneAtATimeInOrder) {
  ChildProcess sim(TARNWICK_SIMULATOR, {"--rate", "200"}, {}, "", true);
  ASSERT_TRUE(sim.started());
  const std::string path = sim.ReadLine(5000);
  ASSERT_FALSE(path.empty());
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_FALSE(ReadAtLeast(fd, 1, 5000).empty());  // a message has begun

  const std::string sent = "ABCDEFGH";
  for (char c : sent) {
    ASSERT_EQ(::write(fd, &c, 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const std::vector<std::uint8_t> more = ReadAtLeast(fd, 150, 3000);
  const std::string text(more.begin(), more.end());
  EXPECT_NE(text.find(sent), std::string::npos) << text;
  ::close(fd);
  sim.Signal(SIGTERM);
  EXPECT_TRUE(WIFEXITED(sim.Wait(5000)));
}

// Asked for, the usage is the answer (stdout, status 0); after a wrong
// option it is the complaint (stderr, status 2).
TEST(Simulator, UsageGoesToStdoutOnlyWhenAskedFor) {
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {{{"--help"}, 0}, {{"-h"}, 0}, {{"--rate", "fast"}, 2}, {{"--bogus"}, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    ChildProcess sim(TARNWICK_SIMULATOR, c.args, {}, "", true);
    const bool usage = sim.ReadLine(5000).starts_with("usage: tarnwick-sim");
    const int status = sim.Wait(5000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    EXPECT_EQ(usage, c.status == 0);
  }
}

}  // namespace
}  // namespace tarnwick
