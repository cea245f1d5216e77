// When a read brought bytes: the wall clock for the time a line shows, and the
// monotonic clock for the pause before it, which no clock change can make
// negative or stretch.
#pragma once

#include <chrono>
#include <cstdint>

namespace tarnwick {

// A line's arrival time: milliseconds since 1970-01-01 00:00 UTC.
using LineTime = std::int64_t;

struct ReadTime {
  std::chrono::system_clock::time_point wall;
  std::chrono::steady_clock::time_point steady;

  static ReadTime Now() {
    return {std::chrono::system_clock::now(), std::chrono::steady_clock::now()};
  }
  LineTime WallMs() const {
    return std::chrono::floor<std::chrono::milliseconds>(wall).time_since_epoch().count();
  }
};

}  // namespace tarnwick
