#include "app/shutdown_signals.h"

#include <QSocketNotifier>
#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarnwick {

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal, QObject* parent)
    : ShutdownSignals(Actions{{SIGINT, onSignal}, {SIGTERM, onSignal}}, parent) {}

#ifndef _WIN32
namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnShutdownSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  // Async-signal-safe; a full pipe already holds pending requests.
  [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
  errno = saved;
}

void SetHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

ShutdownSignals::ShutdownSignals(Actions actions, QObject* parent)
    : QObject(parent), m_actions(std::move(actions)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
    return;
  }
  m_pNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(m_pNotifier, &QSocketNotifier::activated, this, &ShutdownSignals::OnReadable);
  for (const auto& [signal, action] : m_actions) SetHandler(signal, &OnShutdownSignal);
}

ShutdownSignals::~ShutdownSignals() {
  if (g_signalPipe[0] < 0) return;
  for (const auto& [signal, action] : m_actions) SetHandler(signal, SIG_DFL);
  delete m_pNotifier;
  ::close(g_signalPipe[0]);
  ::close(g_signalPipe[1]);
  g_signalPipe[0] = g_signalPipe[1] = -1;
}

void ShutdownSignals::OnReadable() {
  char buffer[64];
  ssize_t count;
  while ((count = ::read(g_signalPipe[0], buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < count; ++i) {
      for (const auto& [signal, action] : m_actions) {
        if (signal == static_cast<unsigned char>(buffer[i]) && action) action();
      }
    }
  }
}

#else

ShutdownSignals::ShutdownSignals(Actions actions, QObject* parent)
    : QObject(parent), m_actions(std::move(actions)) {}
ShutdownSignals::~ShutdownSignals() = default;
void ShutdownSignals::OnReadable() {}

#endif

}  // namespace tarnwick
