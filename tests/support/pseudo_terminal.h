// A real pseudo-terminal for tests: the far side stays here, the near side's
// path (and an optional symlink to it) is what the code under test opens.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::testing {

class PseudoTerminal {
 public:
  PseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    m_slavePath = ::ptsname(m_master);
    // Keep the near side open once so the far side never sees a hang-up
    // before the code under test has opened it; closed by CloseKeeper().
    m_keeper = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    struct termios raw;
    if (m_keeper >= 0 && ::tcgetattr(m_keeper, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(m_keeper, TCSANOW, &raw);
    }
  }
  ~PseudoTerminal() {
    CloseKeeper();
    CloseMaster();
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return m_master >= 0 && !m_slavePath.empty(); }
  const std::string& path() const { return m_slavePath; }
  int master() const { return m_master; }
  // The near side as this test holds it: its settings are the device's.
  int keeper() const { return m_keeper; }

  void CloseKeeper() {
    if (m_keeper >= 0) ::close(m_keeper);
    m_keeper = -1;
  }
  // Closing the far side makes the near side hang up, as an unplugged adapter.
  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

  // Writes all bytes to the far side, waiting for room as needed.
  bool Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        struct pollfd p {
          m_master, POLLOUT, 0
        };
        if (::poll(&p, 1, 2000) <= 0) return false;
      }
    }
    return true;
  }
  bool Write(const std::string& text) {
    return Write(std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  // Reads from the far side until count bytes arrived or timeoutMs passed.
  std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs) {
    return Read(count, timeoutMs, false);
  }
  // The same for a stream that should flow: gives up once nothing came for
  // stallMs, however long the whole takes.
  std::vector<std::uint8_t> ReadWhileFlowing(std::size_t count, int stallMs) {
    return Read(count, stallMs, true);
  }

 private:
  std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs, bool fromLastByte) {
    std::vector<std::uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      struct pollfd p {
        m_master, POLLIN, 0
      };
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(m_master, buffer, sizeof buffer);
      if (n > 0) out.insert(out.end(), buffer, buffer + n);
      if (n > 0 && fromLastByte)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    return out;
  }

  int m_master = -1;
  int m_keeper = -1;
  std::string m_slavePath;
};

}  // namespace tarnwick::testing
