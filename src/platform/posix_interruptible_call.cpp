#include "platform/posix_interruptible_call.h"

#include <signal.h>

#include <chrono>

namespace tarnwick {

namespace {

// How long Interrupt waits for the call to return before it signals again.
constexpr auto kResignal = std::chrono::milliseconds(5);

extern "C" void OnInterruptSignal(int) {}

void InstallHandler() {
  struct sigaction action {};
  action.sa_handler = &OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: the interrupted call fails with EINTR
  ::sigaction(InterruptibleCall::Signal(), &action, nullptr);
}

}  // namespace

// A real-time signal nothing else in the program uses; the C library keeps
// those below SIGRTMIN for itself.
int InterruptibleCall::Signal() { return SIGRTMIN + 4; }

InterruptibleCall::InterruptibleCall() {
  // Before any thread can be sent the signal, whose default action would end
  // the program.
  static std::once_flag installed;
  std::call_once(installed, InstallHandler);
}

bool InterruptibleCall::Run(const std::function<void()>& call) {
  {
    std::lock_guard lock(m_mutex);
    if (m_bPending) {
      m_bPending = false;
      return false;
    }
    m_bRunning = true;
    m_thread = ::pthread_self();
  }
  call();
  std::lock_guard lock(m_mutex);
  m_bRunning = false;
  const bool interrupted = m_bPending;
  m_bPending = false;
  m_returned.notify_all();
  return !interrupted;
}

void InterruptibleCall::Interrupt() {
  std::unique_lock lock(m_mutex);
  m_bPending = true;
  while (m_bRunning) {
    ::pthread_kill(m_thread, Signal());
    m_returned.wait_for(lock, kResignal);
  }
}

}  // namespace tarnwick
