// What follows the stream as the screen model lays it out: the model calls it
// for every unit it places and every line it completes, with its own reading
// of the settings for that read, so an observer never re-derives units, lines
// or pauses. The worker hands the observer to the model with each read.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/read_time.h"
#include "display/unit_settings.h"

namespace tarnwick {

// Which way a line's bytes went. Only received data reaches the screen so far.
enum class LineDirection : std::uint8_t { kReceived, kSent };

struct PlacedUnit {
  const std::uint8_t* bytes;  // the unit's bytes, in arrival order
  int nLength;                // 1..4
  // The unit's bits in the order the screen reads them (reversed when the
  // settings say so, except BINARY, which the screen shows as received).
  std::uint32_t nBits;
  std::int32_t nColumn;  // 0-based place on its line (saturates on endless lines)
  LineTime time;         // when the unit's last byte was read
  LineDirection direction;
};

struct CompletedLine {
  std::string_view text;  // the line as the screen shows it; valid during the call
  LineTime time;          // the line's time, as the screen keeps it
  LineDirection direction;
};

class ScreenObserver {
 public:
  virtual ~ScreenObserver() = default;
  // Worker thread, under the model's lock: keep these short and never block.
  virtual void OnUnitPlaced(const UnitSettings& settings, const PlacedUnit& unit) = 0;
  // A line the screen ended: full, broken by a pause, or ended by CR in line
  // mode. A line is reported once, at its end; one dropped by Clear is not.
  virtual void OnLineCompleted(const UnitSettings& settings, const CompletedLine& line) = 0;
  // Worker thread, once the read is placed and the lock released.
  virtual void OnReadPlaced() {}
};

}  // namespace tarnwick
