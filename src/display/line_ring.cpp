#include "display/line_ring.h"

#include <algorithm>
#include <cstring>

#include "display/cell_width.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tarnwick {
namespace {

constexpr std::size_t kFirstCapacity = 4096;
// The records keep 32 bits of a position: a buffer may hold at most half of that.
constexpr std::size_t kMaxCapacity = std::size_t{1} << 31;
// Buffers double up to this size and grow by a quarter beyond it: a long
// history keeps less in reserve.
constexpr std::size_t kDoublingLimit = std::size_t{16} << 20;
constexpr std::size_t kFirstSlots = 8;
// A buffer this large that the ring lets go of is handed back to the system.
constexpr std::size_t kReturnedSize = std::size_t{1} << 20;
// Milliseconds from a block's base that fit the stamp beside the direction bit.
constexpr LineTime kMaxDelta = (LineTime{1} << 30) - 1;
constexpr LineTime kMinDelta = -(LineTime{1} << 30);

// glibc raises its threshold for serving blocks by mmap to the size of each
// such block freed, so of buffers that double the later ones come from the
// heap, and a freed one would stay resident among live blocks: a long history
// would cost a third more than its lines. Trimming returns those pages.
void ReturnFreedMemory(std::size_t freed) {
#if defined(__GLIBC__)
  if (freed >= kReturnedSize) ::malloc_trim(0);
#else
  (void)freed;
#endif
}

// The run that holds a line: almost always the last; otherwise the last one
// that begins by then. There must be one.
template <class Run>
const Run& RunOf(const std::vector<Run>& runs, std::uint64_t line) {
  auto run = runs.end() - 1;
  if (run->firstLine > line) {
    run = std::upper_bound(runs.begin(), runs.end(), line,
                           [](std::uint64_t n, const Run& r) { return n < r.firstLine; }) -
          1;
  }
  return *run;
}

// A run goes once the next one holds the first line; all go with the last line.
// Returns whether any went.
template <class Run>
bool DropPassedRuns(std::vector<Run>& runs, std::uint64_t frontLine, bool empty) {
  std::size_t done = 0;
  while (done + 1 < runs.size() && runs[done + 1].firstLine <= frontLine) ++done;
  if (empty) done = runs.size();
  runs.erase(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(done));
  return done > 0;
}

}  // namespace

LineTime LineRing::TimeAt(std::size_t i) const {
  const TimeBlock& block = RunOf(m_timeBlocks, m_nFrontLine + i);
  return block.base + (static_cast<std::int32_t>(SlotAt(i).stamp) >> 1);
}

TextColumnLayout LineRing::LayoutAt(std::size_t i) const {
  if (m_layoutRuns.empty()) return {};
  return RunOf(m_layoutRuns, m_nFrontLine + i).layout;
}

void LineRing::SetBackLayout(const TextColumnLayout& layout) {
  const std::uint64_t line = m_nFrontLine + m_count - 1;
  if (!m_layoutRuns.empty() && m_layoutRuns.back().layout == layout) return;
  if (!m_layoutRuns.empty() && m_layoutRuns.back().firstLine == line) {
    // The run holds only this line: it changes, or joins the one before.
    m_layoutRuns.back().layout = layout;
    if (m_layoutRuns.size() > 1 && m_layoutRuns[m_layoutRuns.size() - 2].layout == layout) {
      m_layoutRuns.pop_back();
    }
  } else {
    m_layoutRuns.push_back(LayoutRun{line, layout});
  }
  CountDecodedRuns();
}

void LineRing::CountDecodedRuns() {
  m_bDecodedText = std::any_of(m_layoutRuns.begin(), m_layoutRuns.end(),
                               [](const LayoutRun& run) { return run.layout.bDecodedText; });
}

std::size_t LineRing::DecodedWidth(std::size_t i) const {
  const std::string_view text = Text(i);
  // Decoded lines only: the others take a cell a byte.
  return LayoutAt(i).bDecodedText ? CellCount(text) : text.size();
}

LineDirection LineRing::Direction(std::size_t i) const {
  return (SlotAt(i).stamp & 1) != 0 ? LineDirection::kSent : LineDirection::kReceived;
}

std::uint32_t LineRing::Stamp(std::uint64_t line, LineTime time, LineDirection direction) {
  // Only the newest line asks: it belongs to the last block, or starts one.
  if (m_timeBlocks.empty() || time - m_timeBlocks.back().base > kMaxDelta ||
      time - m_timeBlocks.back().base < kMinDelta) {
    if (!m_timeBlocks.empty() && m_timeBlocks.back().firstLine == line) {
      m_timeBlocks.back().base = time;
    } else {
      m_timeBlocks.push_back(TimeBlock{line, time});
    }
  }
  const auto delta = static_cast<std::uint32_t>(time - m_timeBlocks.back().base);
  return (delta << 1) | (direction == LineDirection::kSent ? 1u : 0u);
}

void LineRing::SetBackTime(LineTime time) {
  Slot& slot = BackSlot();
  slot.stamp = Stamp(m_nFrontLine + m_count - 1, time, Direction(m_count - 1));
}

void LineRing::SetBackDirection(LineDirection direction) {
  Slot& slot = BackSlot();
  slot.stamp = Stamp(m_nFrontLine + m_count - 1, TimeAt(m_count - 1), direction);
}

void LineRing::push_back_empty(LineTime time, LineDirection direction) {
  // The last line is not counted while it may still grow.
  if (m_count > 0) CountLength(Width(m_count - 1));
  if (m_count == m_slots.size()) GrowSlots();
  m_text.backStart = m_text.backEnd;
  m_bytes.backStart = m_bytes.backEnd;
  ++m_count;
  Slot& slot = BackSlot();
  slot.textEnd = m_text.backEnd;
  slot.bytesEnd = m_bytes.backEnd;
  slot.stamp = Stamp(m_nFrontLine + m_count - 1, time, direction);
}

void LineRing::pop_front() {
  if (m_count > 1) {
    UncountLength(Width(0));
    m_text.front = StartOf(m_text, &Slot::textEnd, 1);
    m_bytes.front = StartOf(m_bytes, &Slot::bytesEnd, 1);
  } else {
    m_text.front = m_text.backStart = m_text.backEnd;
    m_bytes.front = m_bytes.backStart = m_bytes.backEnd;
  }
  m_head = (m_head + 1) & m_mask;
  --m_count;
  ++m_nFrontLine;
  DropPassedRuns(m_timeBlocks, m_nFrontLine, m_count == 0);
  if (DropPassedRuns(m_layoutRuns, m_nFrontLine, m_count == 0)) CountDecodedRuns();
}

void LineRing::clear() {
  // The numbers go on: a Find or a selection can tell the new lines from the old.
  m_nFrontLine += m_count;
  m_head = 0;
  m_count = 0;
  for (Arena* arena : {&m_text, &m_bytes}) arena->front = arena->backStart = arena->backEnd = 0;
  m_timeBlocks.clear();
  m_layoutRuns.clear();
  m_bDecodedText = false;
  std::fill(m_shortLengths.begin(), m_shortLengths.end(), 0);
  m_nWidestShort = 0;
  m_longLengths.clear();
}

void LineRing::AppendText(const char* text, std::size_t length) {
  if (length == 0) return;
  char* to = Extend(m_text, &Slot::textEnd, length);
  std::memcpy(to, text, length);
}

void LineRing::SetBackText(std::string_view text) {
  m_text.backEnd = m_text.backStart;
  BackSlot().textEnd = m_text.backEnd;
  AppendText(text);
}

void LineRing::AppendBytes(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0) return;
  char* to = Extend(m_bytes, &Slot::bytesEnd, length);
  std::memcpy(to, bytes, length);
}

char* LineRing::Extend(Arena& arena, EndField end, std::size_t& length) {
  const std::size_t kept = arena.backEnd - arena.backStart;
  std::size_t need = kept + length;
  const bool alone = m_count == 1;
  const std::size_t place = arena.capacity == 0 ? 0 : arena.backStart % arena.capacity;
  const auto room = [&](std::uint64_t start) {
    return need <= arena.capacity && start - arena.front + need <= arena.capacity;
  };
  if (arena.capacity != 0 && place + need <= arena.capacity && room(arena.backStart)) {
    // Grows where it is.
  } else if (arena.capacity != 0 && place != 0 &&
             room(alone ? arena.backStart : arena.backStart + (arena.capacity - place))) {
    // Would cross the buffer's end: starts over at the beginning instead.
    const std::uint64_t start = arena.backStart + (arena.capacity - place);
    std::memmove(arena.At(start), arena.At(arena.backStart), kept);
    arena.backStart = start;
    arena.backEnd = start + kept;
    if (alone) arena.front = start;
  } else {
    std::size_t others = arena.backStart - arena.front;  // earlier lines and gaps
    // Past the largest buffer the oldest lines make room; a single line
    // longer than that is cut.
    while (others + need > kMaxCapacity && m_count > 1) {
      pop_front();
      others = arena.backStart - arena.front;
    }
    if (need > kMaxCapacity) {
      need = kMaxCapacity;
      length = need - kept;
    }
    const auto larger = [](std::size_t capacity) {
      return capacity < kDoublingLimit ? 2 * capacity : capacity + capacity / 4;
    };
    std::size_t capacity = std::max(kFirstCapacity, larger(arena.capacity));
    while (capacity < others + need) capacity = larger(capacity);
    Relayout(arena, end, std::min(capacity, kMaxCapacity));
  }
  char* to = arena.At(arena.backEnd);
  arena.backEnd += length;
  BackSlot().*end = static_cast<std::uint32_t>(arena.backEnd);
  return to;
}

void LineRing::Relayout(Arena& arena, EndField end, std::size_t capacity) {
  // Not zero-filled: pages the ring has not written yet take no memory.
  std::unique_ptr<char[]> data(new char[capacity]);
  std::uint64_t previousEnd = 0;  // where the previous line ended before
  std::uint32_t backStart = 0;
  std::uint32_t to = 0;
  for (std::size_t i = 0; i < m_count; ++i) {
    Slot& slot = m_slots[(m_head + i) & m_mask];
    const std::uint64_t oldEnd = arena.Expand(slot.*end);
    const std::uint64_t start = i == 0 ? arena.front : arena.StartAfter(previousEnd, oldEnd);
    const auto length = static_cast<std::uint32_t>(oldEnd - start);
    if (length > 0) std::memcpy(data.get() + to, arena.At(start), length);
    previousEnd = oldEnd;
    backStart = to;
    to += length;
    slot.*end = to;
  }
  const std::size_t freed = arena.capacity;
  arena.data = std::move(data);
  arena.capacity = capacity;
  ReturnFreedMemory(freed);
  arena.front = 0;
  arena.backStart = backStart;
  arena.backEnd = to;
}

void LineRing::GrowSlots() {
  const std::size_t capacity = m_slots.empty() ? kFirstSlots : 2 * m_slots.size();
  std::vector<Slot> slots(capacity);
  for (std::size_t i = 0; i < m_count; ++i) slots[i] = m_slots[(m_head + i) & m_mask];
  const std::size_t freed = m_slots.size() * sizeof(Slot);
  m_slots = std::move(slots);
  m_mask = capacity - 1;
  m_head = 0;
  ReturnFreedMemory(freed);
}

LineRing::Footprint LineRing::Reserved() const {
  Footprint footprint;
  footprint.text = m_text.capacity;
  footprint.bytes = m_bytes.capacity;
  footprint.lines = m_slots.capacity() * sizeof(Slot) +
                    m_timeBlocks.capacity() * sizeof(TimeBlock) +
                    m_layoutRuns.capacity() * sizeof(LayoutRun);
  return footprint;
}

void LineRing::CountLength(std::size_t length) {
  if (length >= kShortLengths) {
    m_longLengths.insert(length);
    return;
  }
  if (m_shortLengths.empty()) m_shortLengths.assign(kShortLengths, 0);
  ++m_shortLengths[length];
  m_nWidestShort = std::max(m_nWidestShort, length);
}

void LineRing::UncountLength(std::size_t length) {
  if (length >= kShortLengths) {
    m_longLengths.erase(m_longLengths.find(length));
    return;
  }
  --m_shortLengths[length];
  // The widest went: the next one down is at most one table away.
  while (m_nWidestShort > 0 && m_shortLengths[m_nWidestShort] == 0) --m_nWidestShort;
}

std::size_t LineRing::Widest() const {
  if (m_count == 0) return 0;
  const std::size_t counted =
      m_longLengths.empty() ? m_nWidestShort : std::max(m_nWidestShort, *m_longLengths.rbegin());
  return std::max(counted, Width(m_count - 1));
}

}  // namespace tarnwick
