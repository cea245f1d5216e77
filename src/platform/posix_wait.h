// Small pieces of the POSIX devices' waits, shared by the termios and the
// network devices.
#pragma once

#include <chrono>
#include <functional>

namespace tarnwick {

using WaitClock = std::chrono::steady_clock;

// Milliseconds left until deadline, rounded up so a wait never ends early; 0
// once it has passed.
int MillisecondsUntil(WaitClock::time_point deadline);

// Consumes a pending wake-up of an eventfd; true when there was one.
bool ConsumeWakeFd(int wakeFd);

// The backend's wake-up descriptor as a wait inside an open sees it (a name
// lookup, a connect, a server's answers). A wake-up ends such a wait only
// when giveUp says so (the worker stops, or reopens with other settings), or
// always without a giveUp. Any other wake-up (new options, a hand-over) is
// for the worker's next turn, which looks at its requests anyway; taken as a
// cancel, it would fail a good open.
struct OpenWake {
  int fd = -1;
  std::function<bool()> giveUp;

  // After poll said fd is readable: consumes the wake-up; true when the
  // wait is to end.
  bool EndsWait() const { return ConsumeWakeFd(fd) && (!giveUp || giveUp()); }
};

}  // namespace tarnwick
