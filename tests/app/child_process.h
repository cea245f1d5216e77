// Starts a program with extra environment variables in a given directory,
// optionally with its stdout (and stderr) on a pipe or a socket, or stderr on
// a pipe of its own, and waits for its exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tarnwick::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::pair<std::string, std::string>>& env, const std::string& dir,
               bool captureStdout = false, bool stderrToo = false, bool stderrApart = false,
               bool stdoutSocket = false) {
    int pipeFds[2] = {-1, -1};
    int errFds[2] = {-1, -1};
    // A socket, as a service's journal takes a program's output.
    if (captureStdout && stdoutSocket &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0)
      return;
    if (captureStdout && !stdoutSocket && ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    if (stderrApart && ::pipe2(errFds, O_CLOEXEC) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      if (captureStdout) ::dup2(pipeFds[1], STDOUT_FILENO);
      if (captureStdout && stderrToo) ::dup2(pipeFds[1], STDERR_FILENO);
      if (stderrApart) ::dup2(errFds[1], STDERR_FILENO);
      for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
      if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    if (captureStdout) {
      ::close(pipeFds[1]);
      m_stdout = pipeFds[0];
    }
    if (stderrApart) {
      ::close(errFds[1]);
      m_stderr = errFds[0];
    }
  }
  ~ChildProcess() {
    if (m_pid > 0 && !m_reaped) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    CloseStdout();
    if (m_stderr >= 0) ::close(m_stderr);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return m_pid > 0; }
  void Signal(int signal) { ::kill(m_pid, signal); }

  // This end of the program's stdout.
  int StdoutFd() const { return m_stdout; }
  // The reader of the program's stdout goes away, as at the end of a pipeline.
  void CloseStdout() {
    if (m_stdout >= 0) ::close(m_stdout);
    m_stdout = -1;
  }

  // The next line the program printed, waiting up to timeoutMs.
  std::string ReadLine(int timeoutMs) { return ReadLineFrom(m_stdout, timeoutMs); }
  // The same from stderr on its own pipe.
  std::string ReadErrorLine(int timeoutMs) { return ReadLineFrom(m_stderr, timeoutMs); }

  // The raw wait status, or -1 when the program did not end in time.
  int Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  static std::string ReadLineFrom(int fd, int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      struct pollfd p {
        fd, POLLIN, 0
      };
      if (::poll(&p, 1, 50) <= 0) continue;
      char c;
      if (::read(fd, &c, 1) != 1) break;
      if (c == '\n') return line;
      line.push_back(c);
    }
    return line;
  }

  pid_t m_pid = -1;
  int m_stdout = -1;
  int m_stderr = -1;
  bool m_reaped = false;
};

}  // namespace tarnwick::testing
