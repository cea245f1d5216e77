// A line's arrival time as the screen, the text log and Copy All show it:
// "HH:MM:SS.mmm" in local time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "display/read_time.h"

namespace tarnwick {

inline constexpr std::size_t kTimestampLength = 12;

// Local time is looked up once per second of the times shown: lines come in
// order, so most lines reuse the previous line's hours, minutes and seconds.
// One formatter per thread.
class TimestampFormatter {
 public:
  // Writes kTimestampLength characters to out. A time the system cannot
  // convert reads "--:--:--.---".
  void Format(LineTime time, char* out);
  std::string Text(LineTime time);

 private:
  std::int64_t m_nCachedSecond = 0;
  bool m_bCached = false;
  char m_cachedClock[8] = {};  // "HH:MM:SS" of m_nCachedSecond
};

}  // namespace tarnwick
