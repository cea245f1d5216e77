// The screen's display lines, oldest first: each line's text as shown, the raw
// bytes of its complete units, its time, its direction and the layout its
// units were placed with. Lines are only added at the back (the last line
// grows as units join it) and dropped at the front, so the text and the bytes
// each live in one circular buffer, line after line, and a line costs its
// characters plus a few bytes of bookkeeping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "display/read_time.h"
#include "display/screen_observer.h"
#include "display/text_column.h"

namespace tarnwick {

class LineRing {
 public:
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  // Views stay valid until the ring next changes.
  std::string_view operator[](std::size_t i) const { return Text(i); }
  std::string_view Text(std::size_t i) const { return View(m_text, &Slot::textEnd, i); }
  // The bytes of the line's complete units, in arrival order; for decoded
  // text, its style runs (see text_style.h).
  std::string_view Bytes(std::size_t i) const { return View(m_bytes, &Slot::bytesEnd, i); }
  std::string_view back() const { return Text(m_count - 1); }
  LineTime TimeAt(std::size_t i) const;
  LineDirection Direction(std::size_t i) const;
  LineTime BackTime() const { return TimeAt(m_count - 1); }
  void SetBackTime(LineTime time);
  void SetBackDirection(LineDirection direction);
  // How the line's units were laid out, for the text beside them; a line
  // takes the layout of the one before it until it is given its own.
  TextColumnLayout LayoutAt(std::size_t i) const;
  void SetBackLayout(const TextColumnLayout& layout);
  // Whether any line holds decoded text.
  bool HasDecodedText() const { return m_bDecodedText; }
  // The number of the oldest line: lines are numbered from 0 in the order
  // they came since the ring was made; dropping and clearing keep counting.
  std::uint64_t FirstNumber() const { return m_nFrontLine; }

  void push_back_empty(LineTime time, LineDirection direction = LineDirection::kReceived);
  // The last line grows; there must be one.
  void AppendText(const char* text, std::size_t length);
  void AppendText(std::string_view text) { AppendText(text.data(), text.size()); }
  void SetBackText(std::string_view text);
  void AppendBytes(const std::uint8_t* bytes, std::size_t length);
  void pop_front();
  // Keeps the buffers: a screen cleared and filled again allocates nothing.
  void clear();

  // The cells the line takes: its length, or for decoded text (see
  // TextColumnLayout) the cells of its characters.
  std::size_t Width(std::size_t i) const {
    return m_bDecodedText ? DecodedWidth(i) : Text(i).size();
  }
  // The width of the widest line.
  std::size_t Widest() const;

  // Bytes the ring holds in reserve for each part, for measurements.
  struct Footprint {
    std::size_t text = 0;
    std::size_t bytes = 0;
    std::size_t lines = 0;  // per-line records and time bases
  };
  Footprint Reserved() const;

 private:
  // Per line: where its text and bytes end, and its time and direction.
  struct Slot {
    std::uint32_t textEnd = 0;
    std::uint32_t bytesEnd = 0;
    // Bit 0: the direction; above it, milliseconds from the time base of the
    // line's block, signed.
    std::uint32_t stamp = 0;
  };
  using EndField = std::uint32_t Slot::*;

  // One circular buffer of spans, one span a line, never split at the
  // buffer's end. Positions count bytes since the buffer was laid out; a
  // position's place is position mod capacity. A line whose span would cross
  // the end starts at the next lap instead: a span reaching past the lap
  // boundary after its predecessor's end therefore starts on that boundary
  // (see StartAfter). The records keep positions' low 32 bits: the lines in
  // the buffer span less than 2^32 bytes from the first one's start.
  struct Arena {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    std::uint64_t front = 0;      // where the first line's span starts
    std::uint64_t backStart = 0;  // the last line's span
    std::uint64_t backEnd = 0;

    std::uint64_t Expand(std::uint32_t end) const {
      return front + static_cast<std::uint32_t>(end - static_cast<std::uint32_t>(front));
    }
    std::uint64_t StartAfter(std::uint64_t previousEnd, std::uint64_t end) const {
      const std::uint64_t toLap =
          capacity == 0 ? 0 : (capacity - previousEnd % capacity) % capacity;
      return end - previousEnd > toLap ? previousEnd + toLap : previousEnd;
    }
    char* At(std::uint64_t position) const { return data.get() + position % capacity; }
  };

  // A run of lines sharing one time base.
  struct TimeBlock {
    std::uint64_t firstLine;  // sequence number of the block's first line
    LineTime base;
  };
  // A run of lines laid out alike: the layout changes only with the settings.
  struct LayoutRun {
    std::uint64_t firstLine;
    TextColumnLayout layout;
  };

  const Slot& SlotAt(std::size_t i) const { return m_slots[(m_head + i) & m_mask]; }
  Slot& BackSlot() { return m_slots[(m_head + m_count - 1) & m_mask]; }
  std::uint64_t StartOf(const Arena& arena, EndField end, std::size_t i) const {
    return i == 0
               ? arena.front
               : arena.StartAfter(arena.Expand(SlotAt(i - 1).*end), arena.Expand(SlotAt(i).*end));
  }
  std::string_view View(const Arena& arena, EndField end, std::size_t i) const {
    const std::uint64_t start = StartOf(arena, end, i);
    return {arena.capacity == 0 ? nullptr : arena.At(start),
            static_cast<std::size_t>(arena.Expand(SlotAt(i).*end) - start)};
  }
  // Room for length more bytes on the last line's span; where they go.
  char* Extend(Arena& arena, EndField end, std::size_t& length);
  void Relayout(Arena& arena, EndField end, std::size_t capacity);
  std::uint32_t Stamp(std::uint64_t line, LineTime time, LineDirection direction);
  void GrowSlots();
  void CountLength(std::size_t length);
  void UncountLength(std::size_t length);

  std::vector<Slot> m_slots;  // size is zero or a power of two
  std::size_t m_mask = 0;
  std::size_t m_head = 0;
  std::size_t m_count = 0;
  std::uint64_t m_nFrontLine = 0;  // sequence number of the first line
  Arena m_text;
  Arena m_bytes;
  std::vector<TimeBlock> m_timeBlocks;  // oldest first; the first holds the first line
  std::vector<LayoutRun> m_layoutRuns;  // the same
  // Whether a run of m_layoutRuns is of decoded text: lines of the code page
  // alone never look further.
  bool m_bDecodedText = false;
  void CountDecodedRuns();
  std::size_t DecodedWidth(std::size_t i) const;
  // Lengths of every line but the last: short ones in a table by length,
  // the rare long ones in a set.
  static constexpr std::size_t kShortLengths = 4096;
  std::vector<std::uint32_t> m_shortLengths;
  std::size_t m_nWidestShort = 0;  // no counted short line is longer
  std::multiset<std::size_t> m_longLengths;
};

}  // namespace tarnwick
