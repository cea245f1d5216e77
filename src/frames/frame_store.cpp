#include "frames/frame_store.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarnwick {

FrameStore::FrameStore(std::size_t maxFrames, std::size_t maxBytes)
    : m_nMaxFrames(std::max<std::size_t>(maxFrames, 1)),
      m_nMaxBytes(std::max<std::size_t>(maxBytes, 1)) {}

const FrameStore::Record& FrameStore::At(std::uint64_t number) const {
  const std::size_t index = static_cast<std::size_t>(number - m_nFirstNumber);
  return m_records[(m_nHead + index) % m_records.size()];
}

void FrameStore::DropOldest() {
  m_nHead = (m_nHead + 1) % m_records.size();
  --m_nCount;
  ++m_nFirstNumber;
}

void FrameStore::Grow() {
  // The ring doubles, oldest first again, up to its maximum.
  const std::size_t size =
      std::min(m_nMaxFrames, std::max<std::size_t>(1024, 2 * m_records.size()));
  std::vector<Record> grown;
  grown.reserve(size);
  for (std::size_t i = 0; i < m_nCount; ++i)
    grown.push_back(m_records[(m_nHead + i) % m_records.size()]);
  grown.resize(size);
  m_records.swap(grown);
  m_nHead = 0;
}

std::uint64_t FrameStore::Add(const FrameView& frame, std::optional<std::int64_t> pairMicros,
                              std::optional<std::uint64_t> requestNumber) {
  std::lock_guard<std::mutex> lock(m_cs);
  const std::size_t length = std::min(frame.bytes.size(), m_nMaxBytes);

  // Its bytes go in one piece: where the ring's end would split them, they
  // begin at its start instead.
  std::uint64_t at = m_nArenaEnd;
  const std::size_t offset = static_cast<std::size_t>(at % m_nMaxBytes);
  if (offset + length > m_nMaxBytes) at += m_nMaxBytes - offset;
  const std::size_t place = static_cast<std::size_t>(at % m_nMaxBytes);
  // Frames whose bytes the new ones overwrite go, and so does the oldest
  // when the ring of records is full.
  while (m_nCount > 0 && At(m_nFirstNumber).nArena + m_nMaxBytes < at + length) DropOldest();
  if (m_nCount == m_nMaxFrames) DropOldest();
  if (m_nCount == m_records.size()) Grow();
  if (place + length > m_arena.size()) {
    const std::size_t size =
        std::min(m_nMaxBytes, std::max({place + length, 2 * m_arena.size(), std::size_t{4096}}));
    m_arena.reserve(size);
    m_arena.resize(size);
  }
  if (length > 0) std::memcpy(m_arena.data() + place, frame.bytes.data(), length);
  m_nArenaEnd = at + length;

  Record record;
  record.nArena = at;
  record.nOffset = frame.nOffset;
  record.nTime = frame.time;
  record.nLength = static_cast<std::uint32_t>(length);
  record.nPairMicros = -1;
  if (pairMicros) {
    record.nPairMicros = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(*pairMicros, 0, std::numeric_limits<std::int32_t>::max()));
  }
  const std::uint64_t number = m_nFirstNumber + m_nCount;
  record.nPairBack = 0;
  if (requestNumber && *requestNumber < number && number - *requestNumber <= UINT32_MAX)
    record.nPairBack = static_cast<std::uint32_t>(number - *requestNumber);
  record.nDirection = static_cast<std::uint8_t>(frame.direction);
  record.nStatus = static_cast<std::uint8_t>(frame.status);
  record.nRole = static_cast<std::uint8_t>(frame.role);
  m_records[(m_nHead + m_nCount) % m_records.size()] = record;
  ++m_nCount;
  ++m_nFrames;
  if (IsBadFrame(frame.status)) ++m_nBad;
  return number;
}

void FrameStore::Clear() {
  std::lock_guard<std::mutex> lock(m_cs);
  m_nFirstNumber += m_nCount;
  m_nCount = 0;
  m_nHead = 0;
  m_nFrames = 0;
  m_nBad = 0;
  ++m_nClears;
  // The memory goes back: a cleared store may stay unused for long.
  std::vector<Record>().swap(m_records);
  std::vector<std::uint8_t>().swap(m_arena);
  m_nArenaEnd = 0;
}

FrameStore::Counts FrameStore::GetCounts() const {
  std::lock_guard<std::mutex> lock(m_cs);
  return {m_nFrames, m_nBad, m_nFirstNumber, m_nCount, m_nClears};
}

StoredFrame FrameStore::Stored(std::uint64_t number) const {
  const Record& record = At(number);
  StoredFrame stored;
  stored.nNumber = number;
  stored.view.direction = static_cast<LineDirection>(record.nDirection);
  stored.view.time = record.nTime;
  stored.view.status = static_cast<FrameStatus>(record.nStatus);
  stored.view.role = static_cast<FrameRole>(record.nRole);
  stored.view.nOffset = record.nOffset;
  stored.view.bytes = std::span<const std::uint8_t>(
      m_arena.data() + static_cast<std::size_t>(record.nArena % m_nMaxBytes), record.nLength);
  if (record.nPairMicros >= 0) stored.pair.micros = record.nPairMicros;
  if (record.nPairBack > 0 && number - record.nPairBack >= m_nFirstNumber) {
    const Record& request = At(number - record.nPairBack);
    stored.pair.request = std::span<const std::uint8_t>(
        m_arena.data() + static_cast<std::size_t>(request.nArena % m_nMaxBytes), request.nLength);
  }
  return stored;
}

void FrameStore::Visit(std::span<const std::uint64_t> numbers,
                       const std::function<void(const StoredFrame&)>& visit) const {
  std::lock_guard<std::mutex> lock(m_cs);
  for (const std::uint64_t number : numbers) {
    if (number >= m_nFirstNumber && number - m_nFirstNumber < m_nCount) visit(Stored(number));
  }
}

void FrameStore::VisitRange(std::uint64_t first, std::size_t count,
                            const std::function<void(const StoredFrame&)>& visit) const {
  std::lock_guard<std::mutex> lock(m_cs);
  const std::uint64_t end = std::min<std::uint64_t>(first + count, m_nFirstNumber + m_nCount);
  for (std::uint64_t number = std::max(first, m_nFirstNumber); number < end; ++number)
    visit(Stored(number));
}

std::size_t FrameStore::ReservedBytes() const {
  std::lock_guard<std::mutex> lock(m_cs);
  return m_records.capacity() * sizeof(Record) + m_arena.capacity();
}

}  // namespace tarnwick
