#include "platform/posix_wait.h"

#include <unistd.h>

#include <cstdint>

namespace tarnwick {

int MillisecondsUntil(WaitClock::time_point deadline) {
  const auto left = deadline - WaitClock::now();
  if (left <= WaitClock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

bool ConsumeWakeFd(int wakeFd) {
  std::uint64_t count = 0;
  return wakeFd >= 0 && ::read(wakeFd, &count, sizeof count) == sizeof count;
}

}  // namespace tarnwick
