// Small pieces of the POSIX devices' waits, shared by the termios and the
// network devices.
#pragma once

#include <chrono>

namespace tarnwick {

using WaitClock = std::chrono::steady_clock;

// Milliseconds left until deadline, rounded up so a wait never ends early; 0
// once it has passed.
int MillisecondsUntil(WaitClock::time_point deadline);

// Consumes a pending wake-up of an eventfd; true when there was one.
bool ConsumeWakeFd(int wakeFd);

}  // namespace tarnwick
