#include "app/shutdown_signals.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tarnwick {

#ifndef _WIN32
namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnShutdownSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // Async-signal-safe; a full pipe already holds a pending request.
  [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
    return;
  }
  m_pNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(m_pNotifier, &QSocketNotifier::activated, this, &ShutdownSignals::OnReadable);
  struct sigaction action {};
  action.sa_handler = &OnShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
  if (g_signalPipe[0] < 0) return;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  delete m_pNotifier;
  ::close(g_signalPipe[0]);
  ::close(g_signalPipe[1]);
  g_signalPipe[0] = g_signalPipe[1] = -1;
}

void ShutdownSignals::OnReadable() {
  char buffer[64];
  while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
  }
  if (m_onSignal) m_onSignal();
}

#else

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {}
ShutdownSignals::~ShutdownSignals() = default;
void ShutdownSignals::OnReadable() {}

#endif

}  // namespace tarnwick
