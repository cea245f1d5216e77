// The tap's throughput: a device on a pseudo-terminal and a program on the
// tap's path stream N MiB to each other at once through the port worker, with
// the raw log and the second raw log on. Prints the time, the rate each way
// and the worker's CPU time, and checks every byte.
//
// Usage: tap_throughput [MiB] [baud-index] (the index picks the chunk size;
// a pseudo-terminal itself has no line rate)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "port/port_worker.h"

namespace {

std::vector<std::uint8_t> Exchange(int fd, const std::vector<std::uint8_t>& out,
                                   std::size_t expected) {
  std::vector<std::uint8_t> in;
  in.reserve(expected);
  std::size_t sent = 0;
  while (sent < out.size() || in.size() < expected) {
    struct pollfd p {
      fd, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0
    };
    if (::poll(&p, 1, 10000) <= 0) break;  // stalled: the check below says so
    std::uint8_t buffer[16384];
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) in.insert(in.end(), buffer, buffer + n);
    }
    if ((p.revents & POLLOUT) && sent < out.size()) {
      const ssize_t n =
          ::write(fd, out.data() + sent, std::min<std::size_t>(16384, out.size() - sent));
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
  }
  return in;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  const int baudIndex = argc > 2 ? std::atoi(argv[2]) : 12;  // 115200
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tarnwick-tap-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);

  const int device = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ::grantpt(device);
  ::unlockpt(device);
  ::setenv("TARNWICK_COM1", ::ptsname(device), 1);
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
  while (!std::filesystem::is_symlink(options.strTapPath) || !worker.m_bPortOpen.load())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const int program = ::open(options.strTapPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);

  std::mt19937 random(1);
  std::vector<std::uint8_t> fromDevice(mib << 20), fromProgram(mib << 20);
  for (auto& b : fromDevice) b = static_cast<std::uint8_t>(random());
  for (auto& b : fromProgram) b = static_cast<std::uint8_t>(random());

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::uint8_t> atProgram;
  std::thread programSide([&] { atProgram = Exchange(program, fromProgram, fromDevice.size()); });
  const auto atDevice = Exchange(device, fromDevice, fromProgram.size());
  programSide.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The worker thread is the only other thread of this process that works.
  double workerCpu = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::FILE* comm = std::fopen((entry.path() / "comm").c_str(), "r");
    char name[32] = {};
    if (comm != nullptr && std::fgets(name, sizeof name, comm) != nullptr &&
        std::strncmp(name, "tarnwick-port", 13) == 0) {
      std::FILE* stat = std::fopen((entry.path() / "stat").c_str(), "r");
      unsigned long utime = 0, stime = 0;
      if (stat != nullptr &&
          std::fscanf(stat, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                      &stime) == 2)
        workerCpu =
            static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
      if (stat != nullptr) std::fclose(stat);
    }
    if (comm != nullptr) std::fclose(comm);
  }
  ::close(program);
  worker.Stop();
  const bool exact = atProgram == fromDevice && atDevice == fromProgram;
  std::printf(
      "tap_throughput: %zu MiB each way at once, baud index %d: %.2f s, %.1f MiB/s each way, "
      "worker CPU %.2f s, bytes %s\n",
      mib, baudIndex, seconds, static_cast<double>(mib) / seconds, workerCpu,
      exact ? "exact" : "WRONG");
  std::filesystem::remove_all(dir);
  return exact ? 0 : 1;
}
