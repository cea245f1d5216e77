#include "frames/frame_cutter.h"

#include <algorithm>

namespace tarnwick {

void FrameBuffer::BeginRead(const ReadTime& time) {
  // A read that added nothing leaves no mark behind.
  if (!m_marks.empty() && m_marks.back().nAt == m_bytes.size()) {
    m_marks.back().time = time;
    return;
  }
  m_marks.push_back({m_bytes.size(), time});
}

void FrameBuffer::Append(std::span<const std::uint8_t> bytes, const ReadTime& time) {
  BeginRead(time);
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

const ReadTime& FrameBuffer::TimeOf(std::size_t i) const {
  // Marks are few (the reads of one frame): look from the newest.
  for (auto mark = m_marks.rbegin(); mark != m_marks.rend(); ++mark) {
    if (mark->nAt <= i) return mark->time;
  }
  static const ReadTime kNever{};
  return m_marks.empty() ? kNever : m_marks.front().time;
}

CutFrame FrameBuffer::Frame(std::size_t count, LineDirection direction, FrameCut cut) const {
  CutFrame frame;
  frame.direction = direction;
  frame.first = TimeOf(0);
  frame.last = TimeOf(count == 0 ? 0 : count - 1);
  frame.bytes = Span().first(count);
  frame.cut = cut;
  frame.nOffset = m_nDropped;
  return frame;
}

void FrameBuffer::Drop(std::size_t count) {
  count = std::min(count, m_bytes.size());
  m_nDropped += count;
  m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(count));
  // The read of the new first byte starts at 0; reads wholly dropped go.
  std::size_t keep = 0;
  while (keep + 1 < m_marks.size() && m_marks[keep + 1].nAt <= count) ++keep;
  m_marks.erase(m_marks.begin(), m_marks.begin() + static_cast<std::ptrdiff_t>(keep));
  for (Mark& mark : m_marks) mark.nAt = mark.nAt > count ? mark.nAt - count : 0;
}

void FrameBuffer::Clear() {
  m_nDropped += m_bytes.size();
  m_bytes.clear();
  m_marks.clear();
}

}  // namespace tarnwick
