// A blocking system call that another thread can cut short. The thread in
// the call is sent a signal whose handler does nothing and does not restart
// calls, so the call fails with EINTR; the signal is sent again until the
// call has returned, since it may come just before the call begins.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace tarnwick {

class InterruptibleCall {
 public:
  InterruptibleCall();

  // Runs call on this thread and returns true, or returns false at once
  // without running it when Interrupt() came since the last Run. Also false
  // when Interrupt() came while call ran (call then saw EINTR, or finished
  // anyway).
  bool Run(const std::function<void()>& call);

  // Any thread: ends the Run under way and waits until it has returned; with
  // none under way, the next Run returns at once.
  void Interrupt();

  // The signal used; its handler is installed once for the whole process.
  static int Signal();

 private:
  std::mutex m_mutex;
  std::condition_variable m_returned;
  bool m_bPending = false;
  bool m_bRunning = false;
  pthread_t m_thread{};
};

}  // namespace tarnwick
