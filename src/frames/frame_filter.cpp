#include "frames/frame_filter.h"

#include <algorithm>

namespace tarnwick {

FrameFilterSpec FrameFilterSpec::BadOnly() {
  FrameFilterSpec spec;
  spec.nStatuses = 0;
  for (int i = 0; i < kFrameStatusCount; ++i) {
    if (IsBadFrame(static_cast<FrameStatus>(i))) spec.nStatuses |= 1u << i;
  }
  return spec;
}

bool FrameFilterSpec::Matches(FrameStatus status, LineDirection direction) const {
  if (!(nStatuses & (1u << static_cast<int>(status)))) return false;
  return direction == LineDirection::kSent ? bSent : bReceived;
}

void FrameFilter::Set(const FrameFilterSpec& spec) {
  m_spec = spec;
  m_numbers.clear();
  m_nHead = 0;
  m_nNext = 0;
}

void FrameFilter::Update(const FrameStore& store) {
  m_counts = store.GetCounts();
  if (m_counts.nClears != m_nClears) {
    m_nClears = m_counts.nClears;
    m_numbers.clear();
    m_nHead = 0;
    m_nNext = 0;
  }
  if (m_spec.All()) return;
  // Frames the store let go leave the front of the list.
  while (m_nHead < m_numbers.size() && m_numbers[m_nHead] < m_counts.nFirst) ++m_nHead;
  if (m_nHead > 4096 && m_nHead > m_numbers.size() / 2) {
    m_numbers.erase(m_numbers.begin(), m_numbers.begin() + static_cast<std::ptrdiff_t>(m_nHead));
    m_nHead = 0;
  }
  // New frames, a slice at a time so the worker never waits long for the store.
  constexpr std::size_t kSlice = 65536;
  m_nNext = std::max(m_nNext, m_counts.nFirst);
  const std::uint64_t end = m_counts.nFirst + m_counts.nHeld;
  while (m_nNext < end) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(kSlice, end - m_nNext));
    store.VisitRange(m_nNext, count, [this](const StoredFrame& frame) {
      if (m_spec.Matches(frame.view.status, frame.view.direction))
        m_numbers.push_back(frame.nNumber);
    });
    m_nNext += count;
  }
}

std::size_t FrameFilter::Size() const {
  return m_spec.All() ? m_counts.nHeld : m_numbers.size() - m_nHead;
}

std::uint64_t FrameFilter::NumberAt(std::size_t index) const {
  return m_spec.All() ? m_counts.nFirst + index : m_numbers[m_nHead + index];
}

void FrameFilter::Numbers(std::size_t first, std::size_t count,
                          std::vector<std::uint64_t>& out) const {
  out.clear();
  const std::size_t size = Size();
  for (std::size_t i = first; i < size && i - first < count; ++i) out.push_back(NumberAt(i));
}

}  // namespace tarnwick
