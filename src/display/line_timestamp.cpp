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

void Digits(int value, int count, char* out) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

constexpr char kUnknownStamp[] = "----------T--:--:--.---";
static_assert(sizeof kUnknownStamp - 1 == kMaxTimestampLength);
// Where the time of day starts in the cached clock and in a full stamp.
constexpr std::size_t kClockStart = 11;

}  // namespace

void TimestampFormatter::SetStyle(TimestampStyle style) { m_style = style; }

std::size_t TimestampFormatter::Length() const {
  return m_style == TimestampStyle::kDateAndTime ? kMaxTimestampLength : kTimestampLength;
}

std::size_t TimestampFormatter::Format(LineTime time, char (&out)[kMaxTimestampLength]) {
  const std::size_t length = Length();
  const std::size_t skipped = kMaxTimestampLength - length;
  // Floor division, so a time before 1970 keeps its milliseconds positive.
  std::int64_t second = time / 1000;
  int millis = static_cast<int>(time % 1000);
  if (millis < 0) {
    millis += 1000;
    --second;
  }
  if (!m_bCached || second != m_nCachedSecond) {
    std::tm local{};
    if (!LocalTime(static_cast<std::time_t>(second), local) || local.tm_year + 1900 < 0 ||
        local.tm_year + 1900 > 9999) {
      std::memcpy(out, kUnknownStamp + skipped, length);
      m_bCached = false;
      return length;
    }
    Digits(local.tm_year + 1900, 4, m_cachedClock);
    m_cachedClock[4] = '-';
    Digits(local.tm_mon + 1, 2, m_cachedClock + 5);
    m_cachedClock[7] = '-';
    Digits(local.tm_mday, 2, m_cachedClock + 8);
    m_cachedClock[10] = 'T';
    Digits(local.tm_hour, 2, m_cachedClock + kClockStart);
    m_cachedClock[13] = ':';
    Digits(local.tm_min, 2, m_cachedClock + 14);
    m_cachedClock[16] = ':';
    // A leap second shows as 60, as the system gives it.
    Digits(local.tm_sec, 2, m_cachedClock + 17);
    m_nCachedSecond = second;
    m_bCached = true;
  }
  std::memcpy(out, m_cachedClock + skipped, sizeof m_cachedClock - skipped);
  char* fraction = out + sizeof m_cachedClock - skipped;
  fraction[0] = '.';
  Digits(millis, 3, fraction + 1);
  return length;
}

std::string TimestampFormatter::Text(LineTime time) {
  char text[kMaxTimestampLength];
  return std::string(text, Format(time, text));
}

std::string TimestampFormatter::Sample() const {
  return m_style == TimestampStyle::kDateAndTime ? "0000-00-00T00:00:00.000" : "00:00:00.000";
}

}  // namespace tarnwick
