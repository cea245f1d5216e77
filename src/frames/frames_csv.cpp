#include "frames/frames_csv.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace tarnwick {
namespace {

// The local calendar time of a second since 1970 and its offset from UTC in seconds.
bool LocalTime(std::int64_t second, std::tm& tm, long& offset) {
  const std::time_t t = static_cast<std::time_t>(second);
#ifdef _WIN32
  if (localtime_s(&tm, &t) != 0) return false;
  std::tm copy = tm;
  const std::time_t asUtc = _mkgmtime(&copy);
  if (asUtc == static_cast<std::time_t>(-1)) return false;
  offset = static_cast<long>(asUtc - t);
#else
  if (localtime_r(&t, &tm) == nullptr) return false;
  offset = tm.tm_gmtoff;
#endif
  return true;
}

}  // namespace

std::string_view FramesCsvHeader() {
  return "time,direction,protocol,status,length,summary,hex,address,function,values,pair_ms\r\n";
}

void AppendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void IsoTimeFormatter::Append(std::string& out, LineTime time) {
  std::int64_t second = time / 1000;
  std::int64_t millis = time % 1000;
  if (millis < 0) {
    millis += 1000;
    --second;
  }
  if (!m_bCached || second != m_nSecond) {
    std::tm tm{};
    long offset = 0;
    if (LocalTime(second, tm, offset)) {
      char date[64];
      std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900,
                    tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
      std::memcpy(m_date, date, sizeof m_date - 1);
      const long minutes = (offset < 0 ? -offset : offset) / 60;
      std::snprintf(m_offset, sizeof m_offset, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                    (minutes / 60) % 100, minutes % 60);
    } else {
      std::memcpy(m_date, "----------T--:--:--", sizeof m_date);
      std::memcpy(m_offset, "+--:--", sizeof m_offset);
    }
    m_nSecond = second;
    m_bCached = true;
  }
  char stamp[40];
  const int length =
      std::snprintf(stamp, sizeof stamp, "%s.%03d%s", m_date, static_cast<int>(millis), m_offset);
  out.append(stamp, static_cast<std::size_t>(length));
}

void FramesCsvFormatter::AppendRow(std::string& out, const FrameView& frame,
                                   std::string_view protocol, const FrameDescription& description,
                                   std::optional<std::int64_t> pairMicros) {
  m_time.Append(out, frame.time);
  out += frame.direction == LineDirection::kSent ? ",tx," : ",rx,";
  AppendCsvField(out, protocol);
  out += ',';
  out.append(FrameStatusText(frame.status));
  out += ',';
  out += std::to_string(frame.bytes.size());
  out += ',';
  AppendCsvField(out, description.summary);
  out += ',';
  m_scratch.clear();
  AppendHex(m_scratch, frame.bytes);
  out += m_scratch;
  out += ',';
  AppendCsvField(out, description.address);
  out += ',';
  AppendCsvField(out, description.function);
  out += ',';
  AppendCsvField(out, description.values);
  out += ',';
  if (pairMicros) {
    const std::int64_t micros = *pairMicros < 0 ? 0 : *pairMicros;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(micros / 1000),
                  static_cast<long long>(micros % 1000));
    out += text;
  }
  out += "\r\n";
}

}  // namespace tarnwick
