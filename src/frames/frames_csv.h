// Frames as CSV rows (RFC 4180: CR LF, a field quoted when it holds a comma,
// a quote or a line break, its quotes doubled). The columns:
//   time,direction,protocol,status,length,summary,hex,address,function,values,pair_ms
// time: ISO 8601 local time with milliseconds and the UTC offset,
// "2024-05-01T14:03:07.250+02:00"; direction "rx" or "tx"; hex: upper-case
// pairs separated by blanks; pair_ms: a response's time after its request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frames/frame_codec.h"

namespace tarnwick {

// The header row, with its CR LF.
std::string_view FramesCsvHeader();

// field, quoted when it needs to be.
void AppendCsvField(std::string& out, std::string_view field);

// "2024-05-01T14:03:07.250+02:00" for a time in ms since 1970, in local time.
// Local time is looked up once per second of the times given; one per thread.
class IsoTimeFormatter {
 public:
  void Append(std::string& out, LineTime time);

 private:
  std::int64_t m_nSecond = 0;
  bool m_bCached = false;
  char m_date[20] = {};   // "YYYY-MM-DDTHH:MM:SS"
  char m_offset[7] = {};  // "+02:00"
};

// One row, with its CR LF, for a frame the codec described.
class FramesCsvFormatter {
 public:
  void AppendRow(std::string& out, const FrameView& frame, std::string_view protocol,
                 const FrameDescription& description, std::optional<std::int64_t> pairMicros);

 private:
  IsoTimeFormatter m_time;
  std::string m_scratch;
};

}  // namespace tarnwick
