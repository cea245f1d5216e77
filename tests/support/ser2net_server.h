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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace tarnwick::testing {

class Ser2NetServer {
 public:
  // The program, looked for where Debian puts it and on PATH; empty when
  // it is not installed.
  static std::string Program() {
    for (const char* dir : {"/usr/sbin", "/usr/local/sbin", "/usr/bin"}) {
      const std::string path = std::string(dir) + "/ser2net";
      if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
  }

  Ser2NetServer(const std::string& devicePath, const std::string& dir)
      : m_config(dir + "/ser2net.yaml"), m_log(dir + "/ser2net.log") {
    m_rfc2217Port = FreePort();
    m_rawPort = FreePort();
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

  // Starts it and waits until it accepts connections; false when it does
  // not within a generous limit.
  bool Start() {
    Stop();
    m_pid = ::fork();
    if (m_pid == 0) {
      const std::string program = Program();
      std::freopen(m_log.c_str(), "a", stdout);
      std::freopen(m_log.c_str(), "a", stderr);
      ::execl(program.c_str(), "ser2net", "-n", "-d", "-u", "-c", m_config.c_str(), nullptr);
      ::_exit(127);
    }
    if (m_pid < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Accepts(m_rawPort) && Accepts(m_rfc2217Port)) return true;
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
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
  }

  // Listening already? Read from the kernel's table rather than tried: a
  // trial connection would be a client of the device, and could push the
  // one under test aside.
  static bool Accepts(int port) {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
      std::istringstream fields(line);
      std::string slot, address, remote, state;
      fields >> slot >> address >> remote >> state;
      if (address == local && state == "0A") return true;  // TCP_LISTEN
    }
    return false;
  }

  std::string m_config;
  std::string m_log;
  int m_rfc2217Port = 0;
  int m_rawPort = 0;
  pid_t m_pid = -1;
};

}  // namespace tarnwick::testing
