#include "display/line_timestamp.h"

#include <cstring>
#include <ctime>

namespace tarnwick {
namespace {

bool LocalTime(std::time_t seconds, std::tm& out) {
#ifdef _WIN32
  return ::localtime_s(&out, &seconds) == 0;
#else
  return ::localtime_r(&seconds, &out) != nullptr;
#endif
}

void TwoDigits(int value, char* out) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

void TimestampFormatter::Format(LineTime time, char* out) {
  // Floor division, so a time before 1970 keeps its milliseconds positive.
  std::int64_t second = time / 1000;
  int millis = static_cast<int>(time % 1000);
  if (millis < 0) {
    millis += 1000;
    --second;
  }
  if (!m_bCached || second != m_nCachedSecond) {
    std::tm local{};
    if (!LocalTime(static_cast<std::time_t>(second), local)) {
      std::memcpy(out, "--:--:--.---", kTimestampLength);
      m_bCached = false;
      return;
    }
    TwoDigits(local.tm_hour, m_cachedClock);
    m_cachedClock[2] = ':';
    TwoDigits(local.tm_min, m_cachedClock + 3);
    m_cachedClock[5] = ':';
    // A leap second shows as 60, as the system gives it.
    TwoDigits(local.tm_sec, m_cachedClock + 6);
    m_nCachedSecond = second;
    m_bCached = true;
  }
  std::memcpy(out, m_cachedClock, sizeof m_cachedClock);
  out[8] = '.';
  out[9] = static_cast<char>('0' + millis / 100);
  TwoDigits(millis % 100, out + 10);
}

std::string TimestampFormatter::Text(LineTime time) {
  char text[kTimestampLength];
  Format(time, text);
  return std::string(text, kTimestampLength);
}

}  // namespace tarnwick
