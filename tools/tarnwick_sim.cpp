// tarnwick-sim: a serial device on a pseudo-terminal. It sends a mix of text
// lines and binary measurement frames at a chosen rate and echoes whatever it
// receives, so Tarnwick has something real to show in every format.
//
//   tarnwick-sim [--link PATH] [--rate BYTES_PER_SECOND] [--flood] [--stats]
//                [--messages both|text|frames]
//   tarnwick-sim --dump BYTES
//
// The first line on stdout is the device path to open (the pseudo-terminal's
// slave side). --link also makes PATH a symlink to it. --messages sends only the
// text lines or only the binary frames instead of both in turn. SIGINT or
// SIGTERM ends it. With --stats, SIGUSR1 makes it stop sending (it still
// echoes) and print "sent N", the bytes the line has taken; the end prints the
// same line. --dump prints the first BYTES bytes of the device's messages (both
// kinds) and ends, so a benchmark can check what a reader received.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_pause = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }
extern "C" void OnPauseSignal(int) { g_pause = 1; }

struct Options {
  bool help = false;
  std::string link;
  double rate = 400.0;  // bytes per second
  bool flood = false;
  bool text = true;
  bool frames = true;
  bool stats = false;
  long long dump = -1;  // bytes of the message stream to print, or -1
};

// To stdout when asked for with --help, to stderr after a wrong option.
void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: tarnwick-sim [--link PATH] [--rate BYTES_PER_SECOND] [--flood] [--stats]\n"
               "                    [--messages both|text|frames]\n"
               "       tarnwick-sim --dump BYTES\n"
               "       tarnwick-sim --help\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--link" && i + 1 < argc) {
      options.link = argv[++i];
    } else if (arg == "--rate" && i + 1 < argc) {
      char* end = nullptr;
      options.rate = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(options.rate > 0)) return false;
    } else if (arg == "--flood") {
      options.flood = true;
    } else if (arg == "--messages" && i + 1 < argc) {
      const std::string kind = argv[++i];
      if (kind != "both" && kind != "text" && kind != "frames") return false;
      options.text = kind != "frames";
      options.frames = kind != "text";
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (arg == "--dump" && i + 1 < argc) {
      char* end = nullptr;
      options.dump = std::strtoll(argv[++i], &end, 10);
      if (end == argv[i] || *end != '\0' || options.dump < 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The device's messages. Every message is a multiple of 16 bytes long, so a
// display of 4-byte units, 4 to a line, shows each frame's floats in columns.
class MessageSource {
 public:
  MessageSource(bool text, bool frames) : m_bText(text), m_bFrames(frames) {}

  std::vector<std::uint8_t> Next() {
    const double t = m_sequence * 0.1;
    const double temperature = 21.5 + 2.5 * std::sin(t);
    const double humidity = 45.0 + 8.0 * std::cos(t * 0.7);
    const double voltage = 3.30 + 0.05 * std::sin(t * 3.1);
    std::vector<std::uint8_t> out;
    if (!m_bFrames || (m_bText && m_sequence % 2 == 0)) {
      // A text line as a sensor would print it.
      char line[96];
      const int length = std::snprintf(line, sizeof line, "SEQ %05u TEMP %+6.2f C HUM %5.1f %%",
                                       m_sequence, temperature, humidity);
      std::string text(line, static_cast<std::size_t>(length));
      while ((text.size() + 2) % 16 != 0) text.push_back(' ');
      text += "\r\n";
      out.assign(text.begin(), text.end());
    } else {
      // A 16-byte binary frame: sync bytes A5 5A, sequence number (16 bits),
      // then temperature, humidity and supply voltage as big-endian floats.
      out = {0xA5, 0x5A, static_cast<std::uint8_t>(m_sequence >> 8),
             static_cast<std::uint8_t>(m_sequence)};
      AppendBigEndian(out, std::bit_cast<std::uint32_t>(static_cast<float>(temperature)));
      AppendBigEndian(out, std::bit_cast<std::uint32_t>(static_cast<float>(humidity)));
      AppendBigEndian(out, std::bit_cast<std::uint32_t>(static_cast<float>(voltage)));
    }
    ++m_sequence;
    return out;
  }

 private:
  unsigned m_sequence = 0;
  bool m_bText;
  bool m_bFrames;
};

// The first bytes of the message stream, as a reader with nothing to echo gets them.
int Dump(long long bytes) {
  MessageSource source(true, true);
  while (bytes > 0) {
    const std::vector<std::uint8_t> message = source.Next();
    const std::size_t take = static_cast<std::size_t>(
        std::min<long long>(bytes, static_cast<long long>(message.size())));
    if (std::fwrite(message.data(), 1, take, stdout) != take) return 1;
    bytes -= static_cast<long long>(take);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int OpenPseudoTerminal(std::string& slavePath) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
  slavePath = ::ptsname(master);
  return master;
}

// Holding the slave side open keeps the master from seeing a hang-up while no
// program has the port open; raw mode keeps the line discipline from echoing
// or translating anything.
int OpenKeeper(const std::string& slavePath) {
  const int keeper = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  struct termios raw;
  if (keeper >= 0 && ::tcgetattr(keeper, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(keeper, TCSANOW, &raw);
  }
  return keeper;
}

bool MakeLink(const std::string& link, const std::string& target) {
  struct stat info;
  if (::lstat(link.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      std::fprintf(stderr, "tarnwick-sim: %s exists and is not a symlink\n", link.c_str());
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "tarnwick-sim: symlink %s: %s\n", link.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

void InstallSignals() {
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: poll returns at once with EINTR
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = &OnPauseSignal;
  ::sigaction(SIGUSR1, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Usage(stderr);
    return 2;
  }
  if (options.help) {
    Usage(stdout);
    return 0;
  }
  if (options.dump >= 0) return Dump(options.dump);
  InstallSignals();
  if (!options.stats) ::signal(SIGUSR1, SIG_DFL);

  std::string slavePath;
  const int master = OpenPseudoTerminal(slavePath);
  if (master < 0) {
    std::fprintf(stderr, "tarnwick-sim: no pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  const int keeper = OpenKeeper(slavePath);
  if (!options.link.empty() && !MakeLink(options.link, slavePath)) return 1;
  std::printf("%s\n", slavePath.c_str());
  std::fflush(stdout);

  MessageSource source(options.text, options.frames);
  // Whole messages waiting to go, the first one partly sent. Echoes join
  // right after the current message so they never split one.
  std::deque<std::vector<std::uint8_t>> queue;
  std::size_t sentOfFirst = 0;
  std::size_t echoEnd = 1;  // where the next echo goes: behind the earlier ones
  std::size_t queuedBytes = 0;
  unsigned long long sentTotal = 0;
  bool paused = false;
  double allowance = 0;  // bytes the rate allows to send now
  auto last = std::chrono::steady_clock::now();

  while (!g_stop) {
    if (g_pause && !paused) {
      paused = true;
      std::printf("sent %llu\n", sentTotal);
      std::fflush(stdout);
    }
    // At full speed keep a pipe's worth ready; otherwise one message at a time.
    const std::size_t target = options.flood ? 8192 : 1;
    while (queuedBytes < target) {
      queue.push_back(source.Next());
      queuedBytes += queue.back().size();
    }
    const auto now = std::chrono::steady_clock::now();
    allowance =
        std::min(allowance + options.rate * std::chrono::duration<double>(now - last).count(),
                 std::max(64.0, options.rate / 10));
    last = now;
    const std::size_t sendable = paused ? 0
                                 : options.flood
                                     ? queuedBytes
                                     : std::min(queuedBytes, static_cast<std::size_t>(allowance));

    struct pollfd p {
      master, static_cast<short>(POLLIN | (sendable > 0 ? POLLOUT : 0)), 0
    };
    const int timeoutMs = sendable > 0 || paused
                              ? 100
                              : std::max(1, static_cast<int>(std::ceil(1000.0 / options.rate)));
    if (::poll(&p, 1, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p.revents & POLLIN) {
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) {
        queue.insert(queue.begin() + static_cast<std::ptrdiff_t>(echoEnd),
                     std::vector<std::uint8_t>(buffer, buffer + n));
        ++echoEnd;
        queuedBytes += static_cast<std::size_t>(n);
      }
    }
    if ((p.revents & POLLOUT) && sendable > 0) {
      std::uint8_t chunk[8192];
      const std::size_t limit = std::min(sendable, sizeof chunk);
      std::size_t count = 0;
      std::size_t offset = sentOfFirst;
      for (const auto& message : queue) {
        const std::size_t take = std::min(message.size() - offset, limit - count);
        std::memcpy(chunk + count, message.data() + offset, take);
        count += take;
        offset = 0;
        if (count == limit) break;
      }
      const ssize_t n = ::write(master, chunk, count);
      if (n > 0) {
        std::size_t done = static_cast<std::size_t>(n);
        sentTotal += done;
        queuedBytes -= done;
        if (!options.flood) allowance -= static_cast<double>(n);
        while (done > 0) {
          const std::size_t rest = queue.front().size() - sentOfFirst;
          if (done < rest) {
            sentOfFirst += done;
            break;
          }
          done -= rest;
          sentOfFirst = 0;
          queue.pop_front();
          echoEnd = std::max<std::size_t>(1, echoEnd - 1);
        }
      }
    }
  }

  if (!options.link.empty()) ::unlink(options.link.c_str());
  if (options.stats) {
    std::printf("sent %llu\n", sentTotal);
    std::fflush(stdout);
  }
  if (keeper >= 0) ::close(keeper);
  ::close(master);
  return 0;
}
