// The scripted HTTP server (loopback_server.py) on 127.0.0.1, started for one
// test and killed at its end, with the requests it received.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/child_process.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {

struct ReceivedRequest {
  std::string path;  // with its query
  std::string agent;
};

class LoopbackServer {
 public:
  // routesJson: the routes file's text (see loopback_server.py).
  explicit LoopbackServer(const std::string& routesJson) {
    // Requests to the loopback server never go through a proxy.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    std::ofstream(m_dir.File("routes.json")) << routesJson;
    std::ofstream(m_dir.File("requests.log")).flush();
    m_process = std::make_unique<ChildProcess>(
        "/usr/bin/env",
        std::vector<std::string>{"python3", Script(), m_dir.File("routes.json"),
                                 m_dir.File("requests.log")},
        std::vector<std::pair<std::string, std::string>>{}, std::string(), true);
    m_port = m_process->ReadLine(20000);
  }

  // The server script lies beside this header; the build names the source
  // tree, since __FILE__ may be relative (a compiler cache rewrites paths).
  static std::string Script() { return TARNWICK_TEST_SOURCE_DIR "/update/loopback_server.py"; }

  bool ok() const { return !m_port.empty(); }
  std::string Base() const { return "http://127.0.0.1:" + m_port; }

  std::vector<ReceivedRequest> Requests() const {
    std::vector<ReceivedRequest> requests;
    std::ifstream in(m_dir.File("requests.log"));
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t tab = line.find('\t');
      requests.push_back(
          {line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
    }
    return requests;
  }

  // Waits until count requests have arrived, up to timeoutMs.
  bool WaitForRequests(std::size_t count, int timeoutMs = 10000) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Requests().size() < count) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

 private:
  TempDir m_dir;
  std::unique_ptr<ChildProcess> m_process;
  std::string m_port;
};

// Bytes as the server's body_hex wants them.
inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(digits[c >> 4]);
    hex.push_back(digits[c & 15]);
  }
  return hex;
}

}  // namespace tarnwick::testing
