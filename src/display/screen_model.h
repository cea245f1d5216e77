// The screen model: received bytes gathered into units, formatted, and kept as
// display lines. The view owns it and draws from it; the port worker feeds it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "display/line_timestamp.h"
#include "display/output_file.h"
#include "display/read_time.h"
#include "display/repaint_sink.h"
#include "display/unit_arrival.h"
#include "settings/live_settings.h"

namespace tarnwick {

// The most lines the screen keeps, whatever Rows says.
inline constexpr std::int32_t kMaxDisplayRows = 1'000'000;

// One display line: bytes with an explicit length; any byte value may occur.
using DisplayLine = std::string;

// The display lines, oldest first, in a ring of reusable strings: dropping the
// oldest line keeps its storage for the next new line, so a screen that scrolls
// at a steady size allocates nothing. Each slot also holds its line's arrival
// time.
class LineRing {
 public:
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  const DisplayLine& operator[](std::size_t i) const { return m_slots[(m_head + i) & m_mask].line; }
  DisplayLine& back() { return m_slots[(m_head + m_count - 1) & m_mask].line; }
  const DisplayLine& back() const { return m_slots[(m_head + m_count - 1) & m_mask].line; }
  LineTime TimeAt(std::size_t i) const { return m_slots[(m_head + i) & m_mask].time; }
  LineTime BackTime() const { return m_slots[(m_head + m_count - 1) & m_mask].time; }
  void SetBackTime(LineTime time) { m_slots[(m_head + m_count - 1) & m_mask].time = time; }
  void pop_front();
  DisplayLine& push_back_empty(LineTime time);
  void clear();

 private:
  void Grow();

  struct Slot {
    DisplayLine line;
    LineTime time = 0;  // when the line's first byte was read
  };
  std::vector<Slot> m_slots;  // size is zero or a power of two
  std::size_t m_mask = 0;
  std::size_t m_head = 0;
  std::size_t m_count = 0;
};

class ScreenModel {
 public:
  // settings: the published record, taken once per received run; sink may be null.
  ScreenModel(const LiveSettings& settings, RepaintSink* sink);
  ScreenModel(const ScreenModel&) = delete;
  ScreenModel& operator=(const ScreenModel&) = delete;

  // Worker thread. One received byte.
  void AddReceivedByte(std::uint8_t b);
  // Worker thread. A run of received bytes with m_csLines taken once: leaves
  // the state, lines, text log and repaint areas that one AddReceivedByte per
  // byte would leave. Lines closed in the run reach the text log together
  // before this returns. readTime: when the read that brought the run took
  // place; without it, now.
  void AddReceivedBytes(const std::uint8_t* data, std::size_t length);
  void AddReceivedBytes(const std::uint8_t* data, std::size_t length, const ReadTime& readTime);

  // UI thread. Writes the pending line to the text log (when bSaveText), drops
  // the partial unit and every line. underLock runs while m_csLines is still
  // held, with the number of bytes taken since the previous Clear (the view
  // takes them off the received-byte counter there, so bytes counted but not
  // yet taken stay counted and the counter matches what the screen will show).
  // Then repaints the whole view.
  void Clear(const std::function<void(std::uint32_t bytesTaken)>& underLock = {});

  // Before the worker starts: where the text log reports whether it writes.
  void SetLogFailures(LogFailures* failures);

  // UI thread. Every line followed by CR LF, oldest first (no trailing zero);
  // with timestamps, each line begins with its arrival time and one blank.
  std::string CopyAllText(bool timestamps = false) const;

  // UI thread, for drawing: calls visit(line) for every line, oldest first,
  // under m_csLines, then stores the last line's rectangle computed by the
  // paint. lastLine is called under the same lock once all lines were visited;
  // std::nullopt keeps the rectangle. Returns the generation of the lines
  // visited (see Generation).
  std::uint64_t VisitLines(const std::function<void(const DisplayLine&)>& visit,
                           const std::function<std::optional<Rect>()>& lastLine);
  // The same, with each line's arrival time.
  std::uint64_t VisitLines(const std::function<void(const DisplayLine&, LineTime)>& visit,
                           const std::function<std::optional<Rect>()>& lastLine);
  // Grows whenever the lines change (a complete unit, a Clear): a drawing of
  // the same generation shows the lines as they are.
  std::uint64_t Generation() const;

  std::size_t LineCount() const;
  std::vector<DisplayLine> Lines() const;   // a copy, for tests and tools
  std::vector<LineTime> LineTimes() const;  // each line's arrival time, oldest first
  Rect LastLineRect() const;
  void SetLastLineRect(const Rect& rect);

  // Bytes of the unit being assembled and units on the last line, for tests.
  std::int32_t UnitFill() const { return FillOf(m_nFillAndTaken.load(std::memory_order_relaxed)); }
  std::int32_t UnitsOnLine() const;

  // The display fields of the settings as one complete unit sees them,
  // corrected into the ranges the formatter needs. Whoever follows the stream
  // as the screen lays it out reads them the same way.
  struct UnitSettings {
    int nUnitLength;  // 1..4 bytes
    std::int32_t nFormat;
    bool bReverse;
    std::int32_t nColumns;
    std::int32_t nRows;  // 1..kMaxDisplayRows
    bool bLineMode;      // TEXT with no column count: CR ends lines, LF is dropped
    bool bPlainFormat;   // one of the five formats, not "Unknown Format"
    bool bSaveText;
  };
  static UnitSettings ReadUnitSettings(const SETTINGS& settings);

  // Where the next received byte lands, for another reader of the stream
  // that starts mid-line. Worker thread, between two batches.
  struct StreamPosition {
    int nUnitFill = 0;
    std::uint8_t unitBytes[4] = {};
    std::int32_t nUnitsOnLine = 0;
    bool bLastLineShowsText = false;
  };
  StreamPosition Position() const;

 private:
  // What a run of units asks for once the lock is released, and whether it
  // closed lines for the text log.
  struct RunEffects {
    bool bWholeView = false;
    bool bLastLine = false;
    bool bTextLogTouched = false;
  };

  // afterPause: the unit follows a pause that ends the line.
  void ConsumeUnit(const UnitSettings& s, std::uint8_t b, bool afterPause, RunEffects& fx);
  std::size_t UnitText(const UnitSettings& s, std::uint8_t b, char* out) const;
  void CountUnit(bool lineBoundary, RunEffects& fx);
  // Units that joined the last line, gathered, onto it.
  void AppendJoinedUnits(const char* text, std::size_t length);
  void TrimLines(const UnitSettings& s, RunEffects& fx);
  void SyncSettings();
  void WriteTextLine(RunEffects& fx);
  void FlushTextLog(const RunEffects& fx, const SETTINGS& settings);
  void RequestRepaint(const RunEffects& fx, const Rect& lastLine);

  const LiveSettings& m_live;
  // The worker's copy of the record: written and read only by AddReceivedBytes.
  SETTINGS m_settings;
  DisplayOptions m_options;
  std::uint64_t m_nSettingsVersion = 0;
  RepaintSink* m_pSink;

  mutable std::mutex m_csLines;  // guards m_lines, m_nUnitsOnLine, m_rcLastLine, the text log
  LineRing m_lines;
  std::int32_t m_nUnitsOnLine = 0;
  bool m_bLineAwaitsText = false;  // the last line shows nothing yet
  Rect m_rcLastLine{0, 0, 1000, 1000};
  std::atomic<std::uint64_t> m_nGeneration{0};
  std::atomic<std::size_t> m_nLineCount{0};

  // Worker only, except that Clear resets the fill under m_csLines.
  std::uint8_t m_unitBytes[4] = {};
  // One word, so that a partial unit's bytes and their count change in one
  // step and a Clear never drops the one but keeps the other: the low half is
  // the partial unit's fill, the high half the bytes given to AddReceivedBytes
  // since the last Clear, modulo 2^32 as the counter is.
  std::atomic<std::uint64_t> m_nFillAndTaken{0};
  static std::int32_t FillOf(std::uint64_t word) { return static_cast<std::int32_t>(word & 0xFF); }
  static std::uint64_t Taken(std::size_t bytes) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(bytes)) << 32;
  }

  // Worker only: arrival times and pauses of the units.
  UnitArrival m_arrival;

  OutputFile m_textLog;
  std::string m_textPending;  // closed lines of the current run, not yet in the file
  // Under m_csLines: lines reach the text log with their arrival time.
  bool m_bStampTextLog = false;
  TimestampFormatter m_textLogStamps;
};

}  // namespace tarnwick
