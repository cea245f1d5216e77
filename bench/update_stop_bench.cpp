// The time CUpdateChecker::Stop() takes while the check's request waits on a
// server that accepted the connection and never answers: what the version
// check adds to the program's exit.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "update/curl/curl_http_client.h"
#include "update/update_checker.h"

namespace tarnwick {
namespace {

class NoProfile : public UpdateProfile {
 public:
  std::int32_t GetProfileInt(std::string_view, std::string_view, std::int32_t) override {
    return 0xAB;
  }
  void WriteProfileInt(std::string_view, std::string_view, std::int32_t) override {}
};

class NoWindow : public UpdateWindow {
 public:
  UpdateAnswer AskUpdate(std::string_view, std::string_view) override { return UpdateAnswer::kNo; }
  void Cancel() override {}
  void CloseMainWindow() override {}
};

class NoFiles : public UpdateFiles {
 public:
  bool DirectoryWritable(const std::string&) override { return false; }
  bool BeginExecutable(const std::string&) override { return false; }
  bool AppendExecutable(std::string_view) override { return false; }
  bool FinishExecutable(const std::string&, const std::string&) override { return false; }
  void DiscardExecutable() override {}
  bool WriteScript(const std::string&, std::string_view) override { return false; }
  bool StartScript(const std::string&, const std::string&) override { return false; }
  void Remove(const std::string&) override {}
};

// A listening socket on 127.0.0.1 that never answers.
class SilentServer {
 public:
  SilentServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_fd, 16);
    socklen_t length = sizeof address;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(m_fd); }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/ver"; }
  // Takes the next connection and keeps it open, unanswered, until Drop().
  bool Accept() {
    pollfd ready{m_fd, POLLIN, 0};
    if (::poll(&ready, 1, 10000) != 1) return false;
    m_client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    return m_client >= 0;
  }
  void Drop() {
    if (m_client >= 0) ::close(m_client);
    m_client = -1;
  }

 private:
  int m_fd = -1;
  int m_client = -1;
  unsigned short m_port = 0;
};

void BM_StopDuringHangingRequest(benchmark::State& state) {
  SilentServer server;
  NoProfile profile;
  NoWindow window;
  NoFiles files;
  for (auto _ : state) {
    CurlHttpClient http("Tarnwick");
    CUpdateChecker checker({http, profile, window, files, &SystemTimeNow}, "/opt/t/tarnwick",
                           "1.2.1.2", "Tarnwick", 1);
    checker.StartCheck(server.Url() + "?app=zerik", "/");
    if (!server.Accept()) {
      state.SkipWithError("no connection");
      break;
    }
    // The request is on its way; give the transfer time to settle into its wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = std::chrono::steady_clock::now();
    checker.Stop();
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    server.Drop();
  }
}
BENCHMARK(BM_StopDuringHangingRequest)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
