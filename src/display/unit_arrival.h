// When each unit's first byte arrived, and which units start a new line
// because the line paused before them. The screen model tells it about every
// batch of received bytes before taking its units, and asks it at each unit
// that may start or end a line; the units that simply join a line cost it
// nothing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "display/read_time.h"

namespace tarnwick {

class UnitArrival {
 public:
  static constexpr std::size_t kNoBreak = static_cast<std::size_t>(-1);

  // Before the units of a batch are taken. fill: the bytes of the unit being
  // assembled that earlier batches brought (0..unitLength-1); length: the
  // bytes of this batch; pauseMs: the pause that breaks a line, 0 or less off.
  // A unit never splits: a pause inside one breaks the line before the next.
  void BeginBatch(const ReadTime& time, int fill, int unitLength, std::size_t length,
                  std::int32_t pauseMs);

  // The index in this batch of the byte that completes the next unit that
  // starts a new line after a pause; kNoBreak when no further one does.
  std::size_t NextBreak() const { return m_breaks[m_nNextBreak]; }

  // The unit completed by the byte at index is being placed. Units that
  // simply join a line may be passed over, never a break.
  void ReachUnit(std::size_t index) {
    m_bBreakHere = index == m_breaks[m_nNextBreak];
    if (m_bBreakHere) ++m_nNextBreak;
    m_bFirstUnit = index + static_cast<std::size_t>(m_nFill) < static_cast<std::size_t>(m_nLength);
  }
  // Whether the unit reached came after a pause.
  bool BreaksLine() const { return m_bBreakHere; }
  // When the read that brought the reached unit's first byte took place.
  LineTime UnitTime() const { return m_bFirstUnit ? m_firstUnitTime : m_batchTime; }

 private:
  // This batch.
  int m_nFill = 0;
  int m_nLength = 1;
  LineTime m_batchTime = 0;
  LineTime m_firstUnitTime = 0;  // of the unit the batch completes first
  std::size_t m_breaks[3] = {kNoBreak, kNoBreak, kNoBreak};
  std::size_t m_nNextBreak = 0;
  bool m_bBreakHere = false;
  bool m_bFirstUnit = false;

  // Carried from batch to batch.
  LineTime m_carriedTime = 0;        // of the unit left incomplete
  bool m_bBreakCurrentUnit = false;  // the unit left incomplete came after a pause
  bool m_bBreakNextUnit = false;     // the unit after it will have
  bool m_bHaveLastRead = false;
  std::chrono::steady_clock::time_point m_lastRead{};
};

}  // namespace tarnwick
