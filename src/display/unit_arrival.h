// When each unit's first byte arrived, and which units start a new line
// because the line paused before them. The screen model tells it about every
// batch of received bytes before taking its units, and asks it at each unit
// that it places on its own (one that may start or end a line); the units
// that simply join a line cost it nothing.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "display/read_time.h"

namespace tarnwick {

class UnitArrival {
 public:
  static constexpr std::size_t kNoBreak = static_cast<std::size_t>(-1);

  // The pause that breaks a line, from the next batch on; 0 or less is off.
  void SetPauseMs(std::int32_t pauseMs) { m_nPauseMs = pauseMs; }

  // Before the units of a batch are taken. data, length: the batch; fill:
  // the bytes of the unit being assembled that earlier batches brought
  // (0..unitLength-1). A unit never splits: a pause inside one breaks the
  // line before the next.
  void BeginBatch(const ReadTime& time, const std::uint8_t* data, std::size_t length, int fill,
                  int unitLength);

  // The index in this batch of the byte that completes the next unit that
  // starts a new line after a pause; kNoBreak when no further one does.
  std::size_t NextBreak() const { return m_breaks[m_nNextBreak]; }
  // That unit was reached: NextBreak() moves on to the one after it.
  void TakeBreak() { ++m_nNextBreak; }

  // The unit completed by this byte of the batch is being placed on its own.
  // Units that simply join a line may be passed over, never a break. (A
  // pointer rather than an index leaves the caller's loop one register.)
  void ReachUnit(const std::uint8_t* byte) { m_pReached = byte; }
  // When the read that brought the reached unit's first byte took place.
  LineTime UnitTime() const {
    return static_cast<std::size_t>(m_pReached - m_pData) <= m_nFirstUnitEnd ? m_firstUnitTime
                                                                             : m_batchTime;
  }
  // When the read took place that brought the first byte of the first unit
  // passed over since the last one reached (or since the batch began).
  LineTime JoinedUnitTime() const { return m_pReached ? m_batchTime : m_firstUnitTime; }

 private:
  // This batch.
  const std::uint8_t* m_pData = nullptr;
  std::size_t m_nFirstUnitEnd = 0;           // the index of the byte completing its first unit
  const std::uint8_t* m_pReached = nullptr;  // the unit placed last, none yet
  LineTime m_batchTime = 0;
  LineTime m_firstUnitTime = 0;  // of the unit the batch completes first
  std::size_t m_breaks[3] = {kNoBreak, kNoBreak, kNoBreak};
  std::size_t m_nNextBreak = 0;  // the last element is always kNoBreak

  // Carried from batch to batch.
  std::int32_t m_nPauseMs = 0;
  LineTime m_carriedTime = 0;        // of the unit left incomplete
  bool m_bBreakCurrentUnit = false;  // the unit left incomplete came after a pause
  bool m_bBreakNextUnit = false;     // the unit after it will have
  bool m_bHaveLastRead = false;
  std::chrono::steady_clock::time_point m_lastRead{};
};

}  // namespace tarnwick
