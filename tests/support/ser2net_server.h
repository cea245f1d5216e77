// A real ser2net on loopback in front of a pseudo-terminal, with a
// configuration of its own: one RFC 2217 port and one raw TCP port, both
// serving the same device, one client at a time. Runs in the foreground as
// this process's child and is ended with the test.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace tarnwick::testing {

// Binds fd to a port of the kernel's choosing on 127.0.0.1; the port, 0 on failure.
inline int BindLoopback(int fd, sockaddr_in& address) {
  address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

// Sockets in the kernel's table (/proc/.../net/tcp) in state (hex, as listed)
// whose local or remote address ends with ":PORT" in hex.
inline int CountTcpSockets(const char* table, int port, bool remote, const char* state) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ":%04X", port);
  std::ifstream in(table);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string slot, local, far, st;
    fields >> slot >> local >> far >> st;
    if ((remote ? far : local).ends_with(suffix) && st == state) ++count;
  }
  return count;
}

class Ser2NetServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/ser2net";  // where Debian puts it
  static bool Installed() { return ::access(kProgram, X_OK) == 0; }

  Ser2NetServer(const std::string& devicePath, const std::string& dir)
      : m_config(dir + "/ser2net.yaml"), m_log(dir + "/ser2net.log") {
    std::ofstream config(m_config);
    for (const auto& [accepter, port] :
         {std::pair{"telnet(rfc2217),tcp", m_rfc2217Port}, std::pair{"tcp", m_rawPort}}) {
      config << "connection: &port" << port << "\n"
             << "  accepter: " << accepter << ",127.0.0.1," << port << "\n"
             << "  connector: serialdev," << devicePath << ",9600n81,local\n"
             << "  options:\n    kickolduser: true\n";
    }
  }
  ~Ser2NetServer() { Stop(); }
  Ser2NetServer(const Ser2NetServer&) = delete;
  Ser2NetServer& operator=(const Ser2NetServer&) = delete;

  // Starts it and waits until both ports listen; false when they do not
  // within a generous limit. Listening is read from the kernel's table, not
  // tried: a trial connection would be a client of the device, and could push
  // the one under test aside.
  bool Start() {
    Stop();
    m_pid = ::fork();
    if (m_pid == 0) {
      std::freopen(m_log.c_str(), "a", stdout);
      std::freopen(m_log.c_str(), "a", stderr);
      ::execl(kProgram, "ser2net", "-n", "-d", "-u", "-c", m_config.c_str(), nullptr);
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
      if (Listening(m_rawPort) && Listening(m_rfc2217Port)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // Ends it, and with it every connection it served.
  void Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  std::string Rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_rfc2217Port); }
  std::string TcpUrl() const { return "tcp://127.0.0.1:" + std::to_string(m_rawPort); }

 private:
  // A port that nobody listens on just now, as the kernel hands them out.
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    const int port = BindLoopback(fd, address);
    ::close(fd);
    return port;
  }
  static bool Listening(int port) {
    return CountTcpSockets("/proc/net/tcp", port, false, "0A") > 0;  // TCP_LISTEN
  }

  std::string m_config;
  std::string m_log;
  int m_rfc2217Port = FreePort();
  int m_rawPort = FreePort();
  pid_t m_pid = -1;
};

}  // namespace tarnwick::testing
