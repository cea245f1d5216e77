#include "port/output_pacing.h"

#include <algorithm>

namespace tarnwick {

std::uint32_t CharacterHalfBits(const DCB& dcb) {
  const std::uint32_t dataBits = dcb.ByteSize >= 5 && dcb.ByteSize <= 8 ? dcb.ByteSize : 8;
  const std::uint32_t parityBits = dcb.Parity != kNoParity ? 1 : 0;
  std::uint32_t stopHalfBits = 2;
  if (dcb.StopBits == kOne5StopBits) stopHalfBits = 3;
  if (dcb.StopBits == kTwoStopBits) stopHalfBits = 4;
  return 2 * (1 + dataBits + parityBits) + stopHalfBits;
}

void OutputPacing::SetLine(const DCB& dcb) { SetLine(dcb.BaudRate, CharacterHalfBits(dcb)); }

void OutputPacing::SetLine(std::uint32_t rate, std::uint32_t halfBits) {
  if (rate == 0) rate = 9600;
  if (halfBits == 0) halfBits = 20;
  m_nCharNs = std::max<std::uint64_t>(1, std::uint64_t{halfBits} * 500'000'000u / rate);
  const std::uint64_t window = std::uint64_t{kQueueWindowMs} * 1'000'000u;
  m_nLimit = static_cast<std::size_t>(std::max<std::uint64_t>(1, window / m_nCharNs));
  m_nRoom = 0;
  m_bWasFull = false;
  m_bStalled = false;
}

bool OutputPacing::Room(SerialDevice& device) {
  if (m_nRoom > 0) return true;
  const std::size_t queued = device.OutputQueued();
  if (queued < m_nLimit) {
    m_nRoom = m_nLimit - queued;
    m_bWasFull = false;
    m_bStalled = false;
    return true;
  }
  m_bStalled = m_bWasFull && queued >= m_nQueued;
  m_bWasFull = true;
  m_nQueued = queued;
  return false;
}

void OutputPacing::Written() {
  if (m_nRoom > 0) --m_nRoom;
}

int OutputPacing::RecheckMs() const {
  // Until the queue is one character below the limit.
  const std::uint64_t excess = m_nQueued >= m_nLimit ? m_nQueued - m_nLimit + 1 : 1;
  // Capped so the product cannot overflow; the wait is capped anyway.
  const std::uint64_t ns = std::min<std::uint64_t>(excess, 1'000'000u) * m_nCharNs;
  std::uint64_t ms = (ns + 999'999u) / 1'000'000u;
  if (m_bStalled) ms = std::max<std::uint64_t>(ms, kQueueWindowMs);
  return static_cast<int>(std::clamp<std::uint64_t>(ms, 1, kMaxRecheckMs));
}

}  // namespace tarnwick
