// Settings and reads for the plot's tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "display/read_time.h"
#include "plot/plot_sample.h"
#include "settings/settings.h"

namespace tarnwick::testing {

using Bytes = std::vector<std::uint8_t>;

inline SETTINGS PlotSettings(std::int32_t format, std::int32_t unitLength, std::int32_t columns,
                             bool reverse = false) {
  SETTINGS s = DefaultSettings();
  s.nUnitFormatIndex = format;
  s.nUnitLengthIndex = unitLength - 1;
  s.nColumns = columns;
  s.bReverseBytes = reverse ? 1 : 0;
  return s;
}

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A read at a chosen moment: ms after an arbitrary start on both clocks.
inline ReadTime ReadAt(std::int64_t ms) {
  const std::chrono::milliseconds offset(ms);
  return {
      std::chrono::system_clock::time_point(std::chrono::milliseconds(1'700'000'000'000) + offset),
      std::chrono::steady_clock::time_point(offset)};
}

// (channel, value) pairs, the part of a sample most tests look at.
struct Point {
  int channel;
  double value;
  friend bool operator==(const Point&, const Point&) = default;
};

inline std::vector<Point> Points(const std::vector<Sample>& samples) {
  std::vector<Point> points;
  for (const Sample& s : samples) points.push_back({s.nChannel, s.value});
  return points;
}

inline void PrintTo(const Point& p, std::ostream* os) {
  *os << "{" << p.channel << ", " << p.value << "}";
}

}  // namespace tarnwick::testing
