// The tap's throughput: a device and a program on the tap's path stream to
// each other at once through the port worker, with the raw log and the second
// raw log on. The device is a pseudo-terminal, or the same behind a real
// ser2net on loopback reached as tcp:// or rfc2217://. Prints the time each
// direction took, the worker's CPU time, and checks every byte.
//
// Usage: tap_throughput [MiB] [baud-index] [pty|tcp|rfc2217] [both|to-device]
//   MiB may be a fraction (0.25 is 256 KiB); the baud index picks the chunk
//   size of serial devices (a pseudo-terminal itself has no line rate);
//   to-device: only the program sends, as a program that uploads does.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/com_names.h"
#include "port/port_worker.h"
#include "support/ser2net_server.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Exchanged {
  std::vector<std::uint8_t> in;
  Clock::time_point inDone{};  // when the last expected byte came
};

Exchanged Exchange(int fd, const std::vector<std::uint8_t>& out, std::size_t expected) {
  Exchanged result;
  result.in.reserve(expected);
  std::size_t sent = 0;
  while (sent < out.size() || result.in.size() < expected) {
    struct pollfd p {
      fd, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0
    };
    if (::poll(&p, 1, 30000) <= 0) break;  // stalled: the check below says so
    std::uint8_t buffer[16384];
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) result.in.insert(result.in.end(), buffer, buffer + n);
      if (result.in.size() >= expected && result.inDone == Clock::time_point{})
        result.inDone = Clock::now();
    }
    if ((p.revents & POLLOUT) && sent < out.size()) {
      const ssize_t n =
          ::write(fd, out.data() + sent, std::min<std::size_t>(16384, out.size() - sent));
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
  }
  return result;
}

// A marker from the program until one reaches the device: a serial server
// opens its device only once the connection is there. Late markers are read
// away on both sides.
bool WaitUntilRelayed(int program, int device) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    const std::uint8_t marker = 0x55;
    if (::write(program, &marker, 1) != 1) return false;
    struct pollfd p {
      device, POLLIN, 0
    };
    if (::poll(&p, 1, 100) > 0) {
      std::uint8_t buffer[256];
      while (::poll(&p, 1, 200) > 0 && ::read(device, buffer, sizeof buffer) > 0) {
      }
      return true;
    }
  }
  return false;
}

double WorkerCpuSeconds() {
  // The worker thread is the only other thread of this process that works.
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::FILE* comm = std::fopen((entry.path() / "comm").c_str(), "r");
    char name[32] = {};
    double seconds = -1;
    if (comm != nullptr && std::fgets(name, sizeof name, comm) != nullptr &&
        std::strncmp(name, "tarnwick-port", 13) == 0) {
      std::FILE* stat = std::fopen((entry.path() / "stat").c_str(), "r");
      unsigned long utime = 0, stime = 0;
      if (stat != nullptr &&
          std::fscanf(stat, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                      &stime) == 2)
        seconds = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
      if (stat != nullptr) std::fclose(stat);
    }
    if (comm != nullptr) std::fclose(comm);
    if (seconds >= 0) return seconds;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  const double mib = argc > 1 ? std::strtod(argv[1], nullptr) : 16;
  const int baudIndex = argc > 2 ? std::atoi(argv[2]) : 12;  // 115200
  const std::string kind = argc > 3 ? argv[3] : "pty";
  const std::string ways = argc > 4 ? argv[4] : "both";
  const auto size = static_cast<std::size_t>(mib * (1 << 20));
  if (size == 0 || (kind != "pty" && kind != "tcp" && kind != "rfc2217") ||
      (ways != "both" && ways != "to-device")) {
    std::fprintf(stderr,
                 "usage: tap_throughput [MiB] [baud-index] [pty|tcp|rfc2217] [both|to-device]\n");
    return 2;
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tarnwick-tap-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  const int device = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ::grantpt(device);
  ::unlockpt(device);
  std::unique_ptr<testing::Ser2NetServer> server;
  if (kind == "pty") {
    ::setenv("TARNWICK_COM1", ::ptsname(device), 1);
  } else {
    if (!testing::Ser2NetServer::Installed()) {
      std::fprintf(stderr, "tap_throughput: %s not found\n", testing::Ser2NetServer::kProgram);
      return 2;
    }
    server = std::make_unique<testing::Ser2NetServer>(::ptsname(device), dir.string());
    if (!server->Start()) {
      std::fprintf(stderr, "tap_throughput: ser2net did not start\n");
      return 1;
    }
    ::unsetenv("TARNWICK_COM1");
    SetProfileComDevice(1, kind == "tcp" ? server->TcpUrl() : server->Rfc2217Url());
  }
  SETTINGS settings = DefaultSettings();
  settings.nBaudIndex = baudIndex;
  settings.bSaveRaw = 1;
  std::strncpy(settings.szRawFile, (dir / "raw.bin").c_str(), sizeof settings.szRawFile - 1);
  LiveSettings live{settings};
  auto backend = CreatePlatformSerialBackend();
  PortWorker worker{live, *backend, nullptr, nullptr};
  ConversationOptions options;
  options.strTapPath = (dir / "tap").string();
  worker.SetConversation(options);
  worker.Start();
  const auto openLimit = Clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::is_symlink(options.strTapPath) || !worker.m_bPortOpen.load()) {
    if (Clock::now() > openLimit) {
      std::fprintf(stderr, "tap_throughput: not open: %s\n", worker.Line().Status().c_str());
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const int program = ::open(options.strTapPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (kind != "pty" && !WaitUntilRelayed(program, device)) {
    std::fprintf(stderr, "tap_throughput: the server relays nothing\n");
    return 1;
  }

  std::mt19937 random(1);
  std::vector<std::uint8_t> fromDevice(ways == "both" ? size : 0), fromProgram(size);
  for (auto& b : fromDevice) b = static_cast<std::uint8_t>(random());
  for (auto& b : fromProgram) b = static_cast<std::uint8_t>(random());

  const Clock::time_point start = Clock::now();
  Exchanged atProgram;
  std::thread programSide([&] { atProgram = Exchange(program, fromProgram, fromDevice.size()); });
  const Exchanged atDevice = Exchange(device, fromDevice, fromProgram.size());
  programSide.join();
  const auto secondsUntil = [&](Clock::time_point done) {
    return done == Clock::time_point{} ? -1.0 : std::chrono::duration<double>(done - start).count();
  };
  const double toDevice = secondsUntil(atDevice.inDone);
  const double toProgram = fromDevice.empty() ? 0 : secondsUntil(atProgram.inDone);
  const double workerCpu = WorkerCpuSeconds();
  ::close(program);
  worker.Stop();
  server.reset();
  const bool exact = atProgram.in == fromDevice && atDevice.in == fromProgram;
  const double kib = static_cast<double>(size) / 1024;
  std::printf(
      "tap_throughput: %.0f KiB %s, %s device, baud index %d: program to device %.2f s "
      "(%.0f KiB/s)",
      kib, fromDevice.empty() ? "to the device" : "each way at once", kind.c_str(), baudIndex,
      toDevice, kib / toDevice);
  if (!fromDevice.empty())
    std::printf(", device to program %.2f s (%.0f KiB/s)", toProgram, kib / toProgram);
  std::printf(", worker CPU %.2f s, bytes %s\n", workerCpu, exact ? "exact" : "WRONG");
  std::filesystem::remove_all(dir);
  return exact ? 0 : 1;
}
