// What the live plot takes from the received stream: numbered values per
// channel, and what it had to pass over.
#pragma once

#include <cstdint>

#include "display/read_time.h"

namespace tarnwick {

// Columns or fields beyond this many are not plotted (and are counted).
inline constexpr int kMaxPlotChannels = 16;

struct Sample {
  std::uint8_t nChannel = 0;  // 0..kMaxPlotChannels-1
  double value = 0;           // always finite
  LineTime time = 0;          // when the read that brought it (or its line) took place
};

// Values the plot passed over, since the last Clear.
struct SkipCounts {
  std::uint64_t nNotFinite = 0;       // NaN or infinity from a FLOAT unit
  std::uint64_t nOutOfRange = 0;      // a number in text beyond what a double holds
  std::uint64_t nBeyondChannels = 0;  // a column or field past the last channel
  std::uint64_t nDropped = 0;         // taken while the window could not keep up

  SkipCounts& operator+=(const SkipCounts& other) {
    nNotFinite += other.nNotFinite;
    nOutOfRange += other.nOutOfRange;
    nBeyondChannels += other.nBeyondChannels;
    nDropped += other.nDropped;
    return *this;
  }
  friend bool operator==(const SkipCounts&, const SkipCounts&) = default;
};

}  // namespace tarnwick
