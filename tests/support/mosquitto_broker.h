// A real mosquitto broker on a free loopback port, with a configuration of
// its own and no persistence, run as this process's child and ended with the
// test; and mosquitto's own command-line clients as the independent side.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ser2net_server.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {

// One message as mosquitto_sub printed it.
struct SubscribedMessage {
  std::string topic;
  std::string properties;  // "name:value name:value"
  std::string payload;
};

class MosquittoBroker {
 public:
  static constexpr const char* kProgram = "/usr/sbin/mosquitto";
  static bool Installed() {
    return ::access(kProgram, X_OK) == 0 && ::access("/usr/bin/mosquitto_sub", X_OK) == 0;
  }

  explicit MosquittoBroker(const std::string& dir) : m_dir(dir), m_config(dir + "/mosquitto.conf") {
    std::ofstream(m_config) << "listener " << m_port << " 127.0.0.1\n"
                            << "allow_anonymous true\npersistence false\n";
  }

  // Before Start: a second listener speaking TLS with a certificate made
  // for "localhost", signed by itself; its file is the CA file to trust.
  bool AddTlsListener() {
    const std::string key = m_dir + "/broker.key";
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout " +
        key + " -out " + CaFile() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    // Started by root, the broker reads it as the user it then becomes.
    std::filesystem::permissions(key, std::filesystem::perms::others_read,
                                 std::filesystem::perm_options::add);
    std::ofstream(m_config, std::ios::app) << "listener " << m_tlsPort << " 127.0.0.1\ncertfile "
                                           << CaFile() << "\nkeyfile " << key << "\n";
    return true;
  }
  std::string CaFile() const { return m_dir + "/broker.pem"; }
  int TlsPort() const { return m_tlsPort; }
  ~MosquittoBroker() { Stop(); }
  MosquittoBroker(const MosquittoBroker&) = delete;
  MosquittoBroker& operator=(const MosquittoBroker&) = delete;

  // Starts it (again, on the same port) and waits until it listens.
  bool Start() {
    Stop();
    m_pid = ::fork();
    if (m_pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test that crashed leaves nothing behind
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      ::execl(kProgram, "mosquitto", "-c", m_config.c_str(), nullptr);
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (CountTcpSockets("/proc/net/tcp", m_port, false, "0A") > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  // Kills it: every connection breaks without a word, retained messages go.
  void Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  int Port() const { return m_port; }
  std::string Url(const std::string& prefix) const {
    return "mqtt://127.0.0.1:" + std::to_string(m_port) + "/" + prefix;
  }

  // mosquitto_pub with these arguments after the broker's; its exit status.
  int Publish(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"mosquitto_pub",        "-h", "127.0.0.1", "-p",
                                    std::to_string(m_port), "-V", "mqttv5"};
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = Spawn(all, "/dev/null");
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static pid_t Spawn(const std::vector<std::string>& args, const std::string& output) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      std::freopen(output.c_str(), "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      std::vector<char*> argv;
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

 private:
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    const int port = BindLoopback(fd, address);
    ::close(fd);
    return port;
  }

  std::string m_dir;
  std::string m_config;
  int m_port = FreePort();
  int m_tlsPort = FreePort();
  pid_t m_pid = -1;
};

// mosquitto_sub on PREFIX/# until it is ended, printing every message with
// its topic, length and user properties to a file read back as messages.
// Ready() publishes markers until one comes back, so nothing sent after it is
// missed.
class MosquittoSubscriber {
 public:
  MosquittoSubscriber(const MosquittoBroker& broker, const std::string& prefix,
                      const std::string& file)
      : m_broker(broker), m_prefix(prefix), m_file(file) {
    m_pid = MosquittoBroker::Spawn(
        {"mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-V", "mqttv5",
         "-q", "1", "-N", "-t", prefix + "/#", "-F", "%t %l %P|%p"},
        file);
  }
  ~MosquittoSubscriber() {
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
  }
  MosquittoSubscriber(const MosquittoSubscriber&) = delete;
  MosquittoSubscriber& operator=(const MosquittoSubscriber&) = delete;

  bool Ready() {
    for (int attempt = 0; attempt < 100; ++attempt) {
      m_broker.Publish({"-t", m_prefix + "/ready", "-m", "x"});
      for (const SubscribedMessage& m : Messages())
        if (m.topic == m_prefix + "/ready") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  std::vector<SubscribedMessage> Messages(const std::string& name = "") const {
    std::ifstream in(m_file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<SubscribedMessage> out;
    for (std::size_t pos = 0; pos < text.size();) {
      const std::size_t space = text.find(' ', pos);
      const std::size_t space2 = text.find(' ', space + 1);
      const std::size_t bar = text.find('|', space2 + 1);
      if (bar == std::string::npos) break;
      SubscribedMessage m{
          text.substr(pos, space - pos), text.substr(space2 + 1, bar - space2 - 1), {}};
      const std::size_t length = std::stoul(text.substr(space + 1, space2 - space - 1));
      if (bar + 1 + length > text.size()) break;  // still being written
      m.payload = text.substr(bar + 1, length);
      pos = bar + 1 + length;
      if (pos < text.size() && text[pos] == '\n') ++pos;
      if (name.empty() || m.topic == m_prefix + "/" + name) out.push_back(std::move(m));
    }
    return out;
  }

  // The payloads of PREFIX/name, joined.
  std::string Joined(const std::string& name) const {
    std::string joined;
    for (const SubscribedMessage& m : Messages(name)) joined += m.payload;
    return joined;
  }

 private:
  const MosquittoBroker& m_broker;
  std::string m_prefix;
  std::string m_file;
  pid_t m_pid;
};

}  // namespace tarnwick::testing
