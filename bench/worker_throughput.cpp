// Whole-path throughput of the port worker: a feeder pushes N MiB of a known
// pattern into a pseudo-terminal as fast as it is drained; the worker reads it
// into a screen model (1-byte HEX, 16 columns, 25 rows) with the raw and text
// logs on. Reports the rate against `cat`-style draining of the same kind of
// pty, the worker's CPU time, peak memory, lost or changed bytes, idle
// wake-ups of the open port and the latency from the far side to the raw log.
//
// With "options" as the third argument the display options are all on:
// times in the text log, a new line after a pause of 1 ms.
//
// With "plot" instead, the plot window is open: its feed takes every read and
// a collector drains it once per frame (33 ms) into a store, as the window
// does; 16 columns of HEX give 16 channels.
//
// Usage: worker_throughput [MiB] [work-directory] [options|plot]
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "display/screen_model.h"
#include "plot/channel_store.h"
#include "plot/plot_feed.h"
#include "port/port_worker.h"
#include "port/serial_device.h"
#include "settings/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t PatternByte(std::uint64_t i) {
  return static_cast<std::uint8_t>((static_cast<std::uint32_t>(i) * 2654435761u) >> 24);
}

class Pty {
 public:
  Pty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    m_slavePath = ::ptsname(m_master);
    // Raw on both sides, so no byte is translated on the way.
    struct termios raw;
    if (::tcgetattr(m_master, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(m_master, TCSANOW, &raw);
    }
  }
  ~Pty() {
    if (m_master >= 0) ::close(m_master);
  }
  bool ok() const { return m_master >= 0; }
  int master() const { return m_master; }
  const std::string& slavePath() const { return m_slavePath; }

 private:
  int m_master = -1;
  std::string m_slavePath;
};

// Writes total pattern bytes to fd as fast as the other side takes them.
void Feed(int fd, std::uint64_t total) {
  std::vector<std::uint8_t> chunk(64 * 1024);
  std::uint64_t sent = 0;
  while (sent < total) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - sent));
    for (std::size_t i = 0; i < n; ++i) chunk[i] = PatternByte(sent + i);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(fd, chunk.data() + done, n - done);
      if (w > 0) {
        done += static_cast<std::size_t>(w);
      } else {
        struct pollfd p {
          fd, POLLOUT, 0
        };
        ::poll(&p, 1, 1000);
      }
    }
    sent += n;
  }
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThreadCpuSeconds(pid_t tid) {
  // The kernel's per-thread CPU clock id, as pthread_getcpuclockid makes it.
  const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
  timespec ts{};
  if (::clock_gettime(clock, &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long VoluntarySwitches(pid_t tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  }
  return -1;
}

// The one thread of this process that is not in known.
pid_t OtherThread(const std::vector<pid_t>& known) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    const pid_t tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
    if (std::find(known.begin(), known.end(), tid) == known.end()) return tid;
  }
  return -1;
}

pid_t CurrentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// The `cat <slave >/dev/null` reference: one reader, 64 KiB reads.
double CatRate(std::uint64_t total) {
  Pty pty;
  const int slave = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY);
  struct termios raw;
  if (::tcgetattr(slave, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
  }
  const auto start = Clock::now();
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::uint64_t got = 0;
    while (got < total) {
      const ssize_t n = ::read(slave, buffer.data(), buffer.size());
      if (n <= 0) break;
      got += static_cast<std::uint64_t>(n);
    }
  });
  Feed(pty.master(), total);
  reader.join();
  const double rate = static_cast<double>(total) / (1 << 20) / Seconds(Clock::now() - start);
  ::close(slave);
  return rate;
}

// Compares the raw log with the pattern: bytes missing and bytes different.
void CompareRawLog(const std::string& path, std::uint64_t total, std::uint64_t* lost,
                   std::uint64_t* changed) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buffer(1 << 20);
  std::uint64_t pos = 0;
  *changed = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::uint64_t>(in.gcount());
    for (std::uint64_t i = 0; i < n; ++i) {
      if (static_cast<std::uint8_t>(buffer[i]) != PatternByte(pos + i)) ++*changed;
    }
    pos += n;
  }
  *lost = pos < total ? total - pos : 0;
}

class NullSink : public tarnwick::RepaintSink {
 public:
  void InvalidateAll() override { m_nRequests.fetch_add(1, std::memory_order_relaxed); }
  void InvalidateRect(const tarnwick::Rect&) override {
    m_nRequests.fetch_add(1, std::memory_order_relaxed);
  }
  std::atomic<long> m_nRequests{0};
};

struct PacedFigures {
  double medianMs = 0;
  double p99Ms = 0;
  double wakeupsPerSecond = 0;
  double cpuPercent = 0;
};

// A paced stream as a device with a 1 ms packet rhythm delivers it: every
// millisecond the bytes that rate allows are written at once. Each write's
// latency runs until the raw log holds its last byte, as seen through
// inotify, which reports every write to the log.
PacedFigures PacedLatency(int master, const std::string& rawPath, pid_t workerTid,
                          std::uint64_t* offset, double bytesPerSecond, int seconds) {
  struct Sent {
    Clock::time_point at;
    std::uint64_t end;  // raw log size once this write is logged
  };
  struct Seen {
    Clock::time_point at;
    std::uint64_t size;
  };
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ::inotify_add_watch(watch, rawPath.c_str(), IN_MODIFY);
  const int rawFd = ::open(rawPath.c_str(), O_RDONLY);
  std::vector<Sent> sent;
  std::vector<Seen> seen;
  std::atomic<bool> done{false};
  std::thread monitor([&] {
    char events[4096];
    while (!done.load()) {
      struct pollfd p {
        watch, POLLIN, 0
      };
      if (::poll(&p, 1, 50) <= 0) continue;
      while (::read(watch, events, sizeof events) > 0) {
      }
      struct stat st {};
      ::fstat(rawFd, &st);
      seen.push_back({Clock::now(), static_cast<std::uint64_t>(st.st_size)});
    }
  });
  const double cpuBefore = ThreadCpuSeconds(workerTid);
  const long switchesBefore = VoluntarySwitches(workerTid);
  const auto start = Clock::now();
  double owed = 0;
  std::vector<std::uint8_t> chunk;
  for (auto tick = start; tick - start < std::chrono::seconds(seconds);) {
    tick += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(tick);
    owed += bytesPerSecond / 1000;
    const auto n = static_cast<std::size_t>(owed);
    if (n == 0) continue;
    owed -= static_cast<double>(n);
    chunk.resize(n);
    for (std::size_t i = 0; i < n; ++i) chunk[i] = PatternByte(*offset + i);
    const auto at = Clock::now();
    if (::write(master, chunk.data(), n) != static_cast<ssize_t>(n)) break;
    *offset += n;
    sent.push_back({at, *offset});
  }
  const double elapsed = Seconds(Clock::now() - start);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  done.store(true);
  monitor.join();
  ::close(rawFd);
  ::close(watch);

  PacedFigures figures;
  figures.cpuPercent = 100 * (ThreadCpuSeconds(workerTid) - cpuBefore) / elapsed;
  figures.wakeupsPerSecond =
      static_cast<double>(VoluntarySwitches(workerTid) - switchesBefore) / elapsed;
  std::vector<double> latencies;
  std::size_t j = 0;
  for (const Sent& s : sent) {
    while (j < seen.size() && (seen[j].size < s.end || seen[j].at < s.at)) ++j;
    if (j == seen.size()) break;
    latencies.push_back(Seconds(seen[j].at - s.at) * 1e3);
  }
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty()) {
    figures.medianMs = latencies[latencies.size() / 2];
    figures.p99Ms = latencies[latencies.size() * 99 / 100];
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 16;
  const std::filesystem::path work =
      argc > 2 ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / "tarnwick-bench";
  std::filesystem::create_directories(work);
  const bool options = argc > 3 && std::string(argv[3]) == "options";
  const bool plot = argc > 3 && std::string(argv[3]) == "plot";
  const std::uint64_t total = mib << 20;
  const std::string rawPath = (work / "raw.bin").string();
  const std::string textPath = (work / "text.txt").string();
  std::filesystem::remove(rawPath);
  std::filesystem::remove(textPath);

  const double catRate = CatRate(total);

  Pty pty;
  if (!pty.ok()) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }
  ::setenv("TARNWICK_COM1", pty.slavePath().c_str(), 1);

  tarnwick::SETTINGS settings = tarnwick::DefaultSettings();
  settings.nPortIndex = 0;
  settings.nUnitFormatIndex = 1;  // HEX
  settings.nUnitLengthIndex = 0;  // 1 byte
  settings.nColumns = 16;
  settings.nRows = 25;
  settings.bSaveRaw = 1;
  settings.bSaveText = 1;
  std::snprintf(settings.szRawFile, sizeof settings.szRawFile, "%s", rawPath.c_str());
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", textPath.c_str());

  auto backend = tarnwick::CreatePlatformSerialBackend();
  NullSink sink;
  tarnwick::DisplayOptions displayOptions;
  displayOptions.bShowTimestamps = options;
  displayOptions.bTimestampsInLog = options;
  displayOptions.nPauseBreakMs = options ? 1 : 0;
  const tarnwick::LiveSettings live(settings, displayOptions);
  tarnwick::ScreenModel model(live, &sink);
  tarnwick::PortWorker worker(live, *backend, &model, &sink);
  tarnwick::PlotFeed plotFeed;
  tarnwick::ChannelStore plotStore;
  if (plot) worker.SetReceiveObserver(&plotFeed);
  worker.Start();
  while (!worker.m_bPortOpen.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const pid_t mainTid = CurrentTid();
  const pid_t workerTid = OtherThread({mainTid});
  // Started after the worker was found, so it is never taken for it.
  std::atomic<bool> collecting{plot};
  std::thread collector([&] {
    tarnwick::SampleBatch batch;
    while (collecting.load()) {
      if (plotFeed.TakeBatch(batch)) plotStore.Add(batch.samples, batch.dropped);
      std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
  });

  // Throughput.
  const double cpuBefore = ThreadCpuSeconds(workerTid);
  const auto start = Clock::now();
  std::thread feeder([&] { Feed(pty.master(), total); });
  const auto deadline = start + std::chrono::seconds(120);
  while (static_cast<std::uint32_t>(worker.m_nBytesRead.load()) < total &&
         Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const double elapsed = Seconds(Clock::now() - start);
  feeder.join();
  const double workerCpu = ThreadCpuSeconds(workerTid) - cpuBefore;
  const double rate = static_cast<double>(total) / (1 << 20) / elapsed;

  // Idle wake-ups of the open port.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const long switchesBefore = VoluntarySwitches(workerTid);
  const int idleSeconds = 3;
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double idleWakeups =
      static_cast<double>(VoluntarySwitches(workerTid) - switchesBefore) / idleSeconds;

  // Paced streams: latency per write, wake-ups and CPU of the worker.
  std::uint64_t offset = total;
  std::vector<std::pair<double, PacedFigures>> paced;
  for (const double rate : {11500.0, 100000.0, 300000.0}) {
    paced.emplace_back(rate, PacedLatency(pty.master(), rawPath, workerTid, &offset, rate, 3));
  }

  // Latency: one byte on the far side until the raw log has it.
  const int rawFd = ::open(rawPath.c_str(), O_RDONLY);
  std::vector<double> latencies;
  for (int i = 0; i < 300; ++i) {
    struct stat st {};
    ::fstat(rawFd, &st);
    const off_t before = st.st_size;
    const std::uint8_t byte = PatternByte(offset + static_cast<std::uint64_t>(i));
    const auto sent = Clock::now();
    if (::write(pty.master(), &byte, 1) != 1) break;
    do {
      ::fstat(rawFd, &st);
    } while (st.st_size == before && Clock::now() - sent < std::chrono::seconds(1));
    latencies.push_back(Seconds(Clock::now() - sent) * 1e3);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  ::close(rawFd);
  worker.Stop();
  collecting = false;
  collector.join();
  std::sort(latencies.begin(), latencies.end());

  std::uint64_t lost = 0;
  std::uint64_t changed = 0;
  CompareRawLog(rawPath, offset + latencies.size(), &lost, &changed);
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);

  std::printf("MiB fed:                    %llu%s\n", static_cast<unsigned long long>(mib),
              options ? ", display options on"
              : plot  ? ", plot window open"
                      : "");
  if (plot) {
    std::printf("plot samples collected:     %llu\n",
                static_cast<unsigned long long>(plotStore.Received()));
  }
  std::printf("worker rate:                %.1f MiB/s (%.2f s)\n", rate, elapsed);
  std::printf("cat rate (same pty kind):   %.1f MiB/s\n", catRate);
  std::printf("worker / cat:               %.0f %%\n", 100.0 * rate / catRate);
  std::printf("worker CPU:                 %.2f s\n", workerCpu);
  std::printf("peak memory (ru_maxrss):    %ld KiB\n", usage.ru_maxrss);
  std::printf("bytes lost / changed:       %llu / %llu\n", static_cast<unsigned long long>(lost),
              static_cast<unsigned long long>(changed));
  std::printf("idle wake-ups (open port):  %.2f /s\n", idleWakeups);
  if (!latencies.empty()) {
    std::printf("latency far side -> raw log: median %.3f ms, p99 %.3f ms (%zu samples)\n",
                latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
                latencies.size());
  }
  std::printf("repaint requests:           %ld\n", sink.m_nRequests.load());
  for (const auto& [rate, figures] : paced) {
    std::printf(
        "paced %6.1f kB/s: write -> raw log median %.3f ms, p99 %.3f ms; "
        "worker %.0f wake-ups/s, %.2f %% CPU\n",
        rate / 1000, figures.medianMs, figures.p99Ms, figures.wakeupsPerSecond, figures.cpuPercent);
  }
  std::filesystem::remove(rawPath);
  std::filesystem::remove(textPath);
  return lost == 0 && changed == 0 ? 0 : 2;
}
