#include "display/unit_arrival.h"

namespace tarnwick {

void UnitArrival::BeginBatch(const ReadTime& time, const std::uint8_t* data, std::size_t length,
                             int fill, int unitLength) {
  const std::int32_t pauseMs = m_nPauseMs;
  const std::size_t n = static_cast<std::size_t>(unitLength);
  const std::size_t held = static_cast<std::size_t>(fill);
  const LineTime now = time.WallMs();
  m_pData = data;
  m_nFirstUnitEnd = n - held - 1;
  m_batchTime = now;
  m_firstUnitTime = fill > 0 ? m_carriedTime : now;
  m_nNextBreak = 0;
  m_pReached = nullptr;

  // Measured on the monotonic clock from the latest read seen: a read that
  // reports an earlier time than that makes no pause, never a negative one.
  bool paused = false;
  if (m_bHaveLastRead && pauseMs > 0) {
    paused = time.steady - m_lastRead >= std::chrono::milliseconds(pauseMs);
  }
  if (!m_bHaveLastRead || time.steady > m_lastRead) m_lastRead = time.steady;
  m_bHaveLastRead = true;
  if (pauseMs <= 0) m_bBreakCurrentUnit = m_bBreakNextUnit = false;
  // Without a unit held (a Clear dropped it) there is none to break before.
  if (fill == 0) m_bBreakCurrentUnit = false;

  std::size_t count = 0;
  bool breakCurrent = false;
  bool breakNext = false;
  if (m_bBreakCurrentUnit) {
    const std::size_t end = n - held - 1;
    if (end < length) {
      m_breaks[count++] = end;
    } else {
      breakCurrent = true;
    }
  }
  if (m_bBreakNextUnit || paused) {
    // The first unit that begins in this batch: after the one held, if any.
    const std::size_t start = held > 0 ? n - held : 0;
    if (start >= length) {
      breakNext = true;
    } else if (start + n - 1 < length) {
      m_breaks[count++] = start + n - 1;
    } else {
      breakCurrent = true;
    }
  }
  while (count < std::size(m_breaks)) m_breaks[count++] = kNoBreak;
  m_bBreakCurrentUnit = breakCurrent;
  m_bBreakNextUnit = breakNext;

  // The unit left incomplete began in this batch, unless it is the one held
  // before and the batch did not complete it.
  if (held == 0 || held + length >= n) m_carriedTime = now;
}

}  // namespace tarnwick
