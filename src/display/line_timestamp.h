// A line's arrival time as the screen, the text log and Copy All show it, in
// local time: "HH:MM:SS.mmm", or with the date as ISO 8601
// "YYYY-MM-DDTHH:MM:SS.mmm" for captures that cross midnight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "display/read_time.h"
#include "settings/display_options.h"

namespace tarnwick {

// Characters of a time-only stamp, and of the longest stamp of any style.
inline constexpr std::size_t kTimestampLength = 12;
inline constexpr std::size_t kMaxTimestampLength = 23;

// Local time is looked up once per second of the times shown: lines come in
// order, so most lines reuse the previous line's date and time of day.
// One formatter per thread.
class TimestampFormatter {
 public:
  explicit TimestampFormatter(TimestampStyle style = TimestampStyle::kTime) : m_style(style) {}

  void SetStyle(TimestampStyle style);
  TimestampStyle Style() const { return m_style; }
  // Characters every stamp of this style has.
  std::size_t Length() const;

  // Writes Length() characters to out and returns that count. A time the
  // system cannot convert reads as dashes, "--:--:--.---" and the like.
  std::size_t Format(LineTime time, char (&out)[kMaxTimestampLength]);
  std::string Text(LineTime time);
  // A stamp of this style's width with every digit 0, for measuring.
  std::string Sample() const;

 private:
  TimestampStyle m_style;
  std::int64_t m_nCachedSecond = 0;
  bool m_bCached = false;
  // "YYYY-MM-DDTHH:MM:SS" of m_nCachedSecond; the time-only style uses its end.
  char m_cachedClock[19] = {};
};

}  // namespace tarnwick
