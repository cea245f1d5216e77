// Transmit rate of the port worker on a pseudo-terminal: a block of N KiB is
// handed over as the Send data dialog does, the far side reads as fast as it
// can, and the time until the last byte arrived gives the rate. The worker
// sends one byte per turn, so this is the ceiling of any send; it has to stay
// far above the fastest serial line (3 Mbaud, 300 kB/s). Also checks that
// every byte arrived unchanged and that the Write counter equals them. With
// tcp or rfc2217 the device is the same pseudo-terminal behind a real ser2net
// on loopback, which the worker is given as much of the block at once as the
// socket takes.
//
// Usage: send_throughput [KiB] [rounds] [pty|tcp|rfc2217]
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/com_names.h"
#include "port/port_worker.h"
#include "port/serial_device.h"
#include "settings/settings.h"
#include "support/ser2net_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThreadCpuSeconds(pid_t tid) {
  // The kernel's per-thread CPU clock id, as pthread_getcpuclockid makes it.
  const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
  timespec ts{};
  if (::clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The one thread of this process besides known: the worker.
pid_t OtherThread(pid_t known) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    const auto tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
    if (tid != known) return tid;
  }
  return -1;
}

// Reads count bytes from fd into out, as fast as they come.
void Drain(int fd, std::size_t count, std::vector<std::uint8_t>& out,
           Clock::duration limit = std::chrono::seconds(60)) {
  std::vector<std::uint8_t> buffer(64 * 1024);
  const auto deadline = Clock::now() + limit;
  while (out.size() < count && Clock::now() < deadline) {
    struct pollfd p {
      fd, POLLIN, 0
    };
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) out.insert(out.end(), buffer.begin(), buffer.begin() + n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string kind = argc > 3 ? argv[3] : "pty";
  const std::size_t size = kib * 1024;
  if (size == 0 || rounds <= 0 || (kind != "pty" && kind != "tcp" && kind != "rfc2217")) {
    std::fprintf(stderr, "usage: send_throughput [KiB] [rounds] [pty|tcp|rfc2217]\n");
    return 2;
  }

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }
  struct termios raw;
  if (::tcgetattr(master, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
  }
  std::unique_ptr<tarnwick::testing::Ser2NetServer> server;
  const std::string dir = std::filesystem::temp_directory_path() /
                          ("tarnwick-send-bench-" + std::to_string(::getpid()));
  if (kind == "pty") {
    ::setenv("TARNWICK_COM1", ::ptsname(master), 1);
  } else {
    std::filesystem::create_directories(dir);
    server = std::make_unique<tarnwick::testing::Ser2NetServer>(::ptsname(master), dir);
    if (!tarnwick::testing::Ser2NetServer::Installed() || !server->Start()) {
      std::fprintf(stderr, "no ser2net at %s\n", tarnwick::testing::Ser2NetServer::kProgram);
      return 1;
    }
    ::unsetenv("TARNWICK_COM1");
    tarnwick::SetProfileComDevice(1, kind == "tcp" ? server->TcpUrl() : server->Rfc2217Url());
  }

  tarnwick::SETTINGS settings = tarnwick::DefaultSettings();
  settings.nPortIndex = 0;
  auto backend = tarnwick::CreatePlatformSerialBackend();
  const tarnwick::LiveSettings live(settings);
  tarnwick::PortWorker worker(live, *backend, nullptr, nullptr);
  worker.Start();
  while (!worker.m_bPortOpen.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const pid_t workerTid = OtherThread(static_cast<pid_t>(::syscall(SYS_gettid)));
  // A server opens its device once the connection is there: a marker until
  // one arrives, and late ones read away.
  for (int attempt = 0; server && attempt < 100; ++attempt) {
    static const std::uint8_t marker = 0x55;
    worker.HandOver(&marker, 1);
    std::vector<std::uint8_t> seen;
    Drain(master, 1, seen, std::chrono::milliseconds(200));
    if (seen.empty()) continue;
    Drain(master, SIZE_MAX, seen, std::chrono::milliseconds(200));
    break;
  }

  std::vector<std::uint8_t> block(size);
  for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<std::uint8_t>(i * 131 + i / 251);

  std::vector<double> rates;
  double cpu = 0;
  bool intact = true;
  for (int round = 0; round < rounds; ++round) {
    std::vector<std::uint8_t> got;
    got.reserve(size);
    const std::int32_t writtenBefore = worker.m_nBytesWritten.load();
    const double cpuBefore = ThreadCpuSeconds(workerTid);
    const auto start = Clock::now();
    std::thread reader([&] { Drain(master, size, got); });
    worker.HandOver(block.data(), static_cast<std::int32_t>(size));
    reader.join();
    const double elapsed = Seconds(Clock::now() - start);
    while (worker.TxBuffer() != nullptr) std::this_thread::yield();
    cpu += ThreadCpuSeconds(workerTid) - cpuBefore;
    rates.push_back(static_cast<double>(size) / 1000.0 / elapsed);
    if (got != block ||
        worker.m_nBytesWritten.load() - writtenBefore != static_cast<std::int32_t>(size))
      intact = false;
  }
  worker.Stop();
  std::sort(rates.begin(), rates.end());

  std::printf("block:                    %zu KiB, %d rounds, %s device\n", kib, rounds,
              kind.c_str());
  std::printf("send rate:                median %.0f kB/s (min %.0f, max %.0f)\n",
              rates[rates.size() / 2], rates.front(), rates.back());
  std::printf("fastest serial line:      300 kB/s (3 Mbaud) -> %.1f x\n",
              rates[rates.size() / 2] / 300.0);
  std::printf("worker CPU per MiB:       %.3f s\n",
              cpu / rounds / (static_cast<double>(size) / (1 << 20)));
  std::printf("bytes and Write counter:  %s\n", intact ? "exact" : "MISMATCH");
  ::close(master);
  server.reset();
  if (kind != "pty") std::filesystem::remove_all(dir);
  return intact ? 0 : 2;
}
