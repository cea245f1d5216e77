// The screen model: received bytes gathered into units, formatted, and kept as
// display lines. The view owns it and draws from it; the port worker feeds it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "display/line_timestamp.h"
#include "display/log_failures.h"
#include "display/read_time.h"
#include "display/repaint_sink.h"
#include "display/screen_observer.h"
#include "display/text_log_writer.h"
#include "display/unit_arrival.h"
#include "display/unit_settings.h"
#include "settings/live_settings.h"

namespace tarnwick {

// One display line: bytes with an explicit length; any byte value may occur.
using DisplayLine = std::string;

// The display lines, oldest first, in a ring of reusable strings: dropping the
// oldest line keeps its storage for the next new line, so a screen that scrolls
// at a steady size allocates nothing. Each slot also holds its line's arrival
// time. The ring knows its widest line, kept as lines come and go: only the
// last line ever changes, so the others' lengths are counted once each.
class LineRing {
 public:
  std::size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  const DisplayLine& operator[](std::size_t i) const { return m_slots[(m_head + i) & m_mask].line; }
  DisplayLine& back() { return m_slots[(m_head + m_count - 1) & m_mask].line; }
  const DisplayLine& back() const { return m_slots[(m_head + m_count - 1) & m_mask].line; }
  LineTime TimeAt(std::size_t i) const { return m_slots[(m_head + i) & m_mask].time >> 1; }
  LineTime BackTime() const { return Back().time >> 1; }
  void SetBackTime(LineTime time) { Back().time = (time << 1) | (Back().time & 1); }
  LineDirection DirectionAt(std::size_t i) const {
    return static_cast<LineDirection>(m_slots[(m_head + i) & m_mask].time & 1);
  }
  LineDirection BackDirection() const { return static_cast<LineDirection>(Back().time & 1); }
  void SetBackDirection(LineDirection direction) {
    Back().time = (Back().time & ~LineTime{1}) | static_cast<LineTime>(direction);
  }
  void pop_front();
  DisplayLine& push_back_empty(LineTime time, LineDirection direction = LineDirection::kReceived);
  void clear();
  // The length in bytes of the longest line.
  std::size_t Widest() const;

 private:
  void Grow();
  void CountLength(std::size_t length);
  void UncountLength(std::size_t length);

  struct Slot {
    DisplayLine line;
    // When the line's first byte was read, shifted up by one bit; the low
    // bit holds the line's direction, so a line costs nothing more for it.
    LineTime time = 0;
  };
  Slot& Back() { return m_slots[(m_head + m_count - 1) & m_mask]; }
  const Slot& Back() const { return m_slots[(m_head + m_count - 1) & m_mask]; }
  std::vector<Slot> m_slots;  // size is zero or a power of two
  std::size_t m_mask = 0;
  std::size_t m_head = 0;
  std::size_t m_count = 0;
  // Lengths of every line but the last: short ones in a table by length,
  // the rare long ones in a set.
  static constexpr std::size_t kShortLengths = 4096;
  std::vector<std::uint32_t> m_shortLengths;
  std::size_t m_nWidestShort = 0;  // no counted short line is longer
  std::multiset<std::size_t> m_longLengths;
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
  // place; without it, now. observer (may be null) hears of every unit placed
  // and every line completed in the run.
  void AddReceivedBytes(const std::uint8_t* data, std::size_t length);
  void AddReceivedBytes(const std::uint8_t* data, std::size_t length, const ReadTime& readTime,
                        ScreenObserver* observer = nullptr);
  // Worker thread. The same for bytes of the sent direction. Each direction
  // assembles its own units; a unit of the other direction than the last
  // line's ends that line, as a full line does.
  void AddSentBytes(const std::uint8_t* data, std::size_t length, const ReadTime& readTime,
                    ScreenObserver* observer = nullptr);

  // Any thread: whether a source of the sent direction is configured. While
  // it is, every line of Copy All and of the text log carries its
  // direction's prefix (after the time, if any), and text log lines end with
  // CR LF. Off: both are exactly as without directions.
  void SetDirectionPrefixes(bool on) { m_bPrefixes.store(on, std::memory_order_relaxed); }
  static constexpr std::string_view kSentPrefix = "> ";
  static constexpr std::string_view kReceivedPrefix = "< ";

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

  // What a drawing needs besides the rows it draws.
  struct Extent {
    std::uint64_t generation = 0;  // see Generation
    std::size_t nLines = 0;
    std::size_t nWidest = 0;  // bytes of the longest line
  };
  // UI thread, for drawing: under m_csLines, calls visit(index, line, time)
  // for the lines first .. first + count - 1 that exist, oldest first, then
  // lastLine(extent); what that returns (if anything) becomes the last line's
  // rectangle. The cost is that of the rows asked for, whatever the history.
  Extent VisitRows(std::size_t first, std::size_t count,
                   const std::function<void(std::size_t, std::string_view, LineTime)>& visit,
                   const std::function<std::optional<Rect>(const Extent&)>& lastLine);
  // The same, with each line's direction.
  using VisitWithDirection =
      std::function<void(std::size_t, std::string_view, LineTime, LineDirection)>;
  Extent VisitRowsWithDirection(std::size_t first, std::size_t count,
                                const VisitWithDirection& visit,
                                const std::function<std::optional<Rect>(const Extent&)>& lastLine);
  // Grows whenever the lines change (a complete unit, a Clear): a drawing of
  // the same generation shows the lines as they are.
  std::uint64_t Generation() const;

  std::size_t LineCount() const;
  std::vector<DisplayLine> Lines() const;             // a copy, for tests and tools
  std::vector<LineTime> LineTimes() const;            // each line's arrival time, oldest first
  std::vector<LineDirection> LineDirections() const;  // each line's direction, oldest first
  Rect LastLineRect() const;
  void SetLastLineRect(const Rect& rect);

  // Bytes of the received unit being assembled and units on the last line, for tests.
  std::int32_t UnitFill() const { return m_nUnitFillOf[0].load(std::memory_order_relaxed); }
  std::int32_t UnitsOnLine() const;

  // The model's reading of the settings (see unit_settings.h).
  using UnitSettings = tarnwick::UnitSettings;
  static UnitSettings ReadUnitSettings(const SETTINGS& settings) {
    return tarnwick::ReadUnitSettings(settings);
  }

 private:
  // What a run of units asks for once the lock is released, and whether it
  // closed lines for the text log.
  struct RunEffects {
    bool bWholeView = false;
    bool bLastLine = false;
    bool bTextLogTouched = false;
  };

  void AddBytes(LineDirection direction, const std::uint8_t* data, std::size_t length,
                const ReadTime& readTime, ScreenObserver* observer);
  // afterPause: the unit follows a pause that ends the line.
  void ConsumeUnit(const UnitSettings& s, std::uint8_t b, bool afterPause, RunEffects& fx);
  std::size_t UnitText(const UnitSettings& s, std::uint8_t b, char* out) const;
  void CountUnit(bool lineBoundary, RunEffects& fx);
  // Units that joined the last line, gathered, onto it.
  void AppendJoinedUnits(const char* text, std::size_t length);
  void TrimLines(const UnitSettings& s, RunEffects& fx);
  void SyncSettings();
  void WriteTextLine(RunEffects& fx);
  void QueueTextLog(const RunEffects& fx, const SETTINGS& settings);
  void RequestRepaint(const RunEffects& fx, const Rect& lastLine);
  // The last line ends (once): the observer hears of it.
  void CompleteLine(const UnitSettings& s);

  const LiveSettings& m_live;
  // The worker's copy of the record: written and read only by AddReceivedBytes.
  SETTINGS m_settings;
  DisplayOptions m_options;
  std::uint64_t m_nSettingsVersion = 0;
  RepaintSink* m_pSink;

  mutable std::mutex m_csLines;  // guards m_lines, m_nUnitsOnLine, m_rcLastLine, m_textPending
  LineRing m_lines;
  std::int32_t m_nUnitsOnLine = 0;
  bool m_bLineAwaitsText = false;  // the last line shows nothing yet
  bool m_bLineCompleted = false;   // the last line was reported complete
  Rect m_rcLastLine{0, 0, 1000, 1000};
  std::atomic<std::uint64_t> m_nGeneration{0};
  std::atomic<std::size_t> m_nLineCount{0};
  // The observer of the run in progress (worker, under m_csLines).
  ScreenObserver* m_pObserver = nullptr;

  // Worker only, except that Clear resets the fills under m_csLines. Each
  // direction assembles its own units; m_unitBytes, m_nUnitFill and
  // m_arrival point at those of the run in progress.
  std::uint8_t m_unitBytesOf[2][4] = {};
  std::atomic<std::int32_t> m_nUnitFillOf[2] = {0, 0};
  std::uint8_t* m_unitBytes = m_unitBytesOf[0];
  std::atomic<std::int32_t>* m_nUnitFill = &m_nUnitFillOf[0];
  LineDirection m_direction = LineDirection::kReceived;
  std::atomic<bool> m_bPrefixes{false};

  // Bytes given to AddReceivedBytes since the last Clear, modulo 2^32 as the
  // counter is.
  std::atomic<std::uint32_t> m_nBytesTaken{0};

  // Worker only: arrival times and pauses of the units, per direction.
  UnitArrival m_arrivalOf[2];
  UnitArrival* m_arrival = &m_arrivalOf[0];

  // Lines are queued for the text log under m_csLines and written outside it.
  TextLogWriter m_textLog;
  std::string m_textPending;  // closed lines of the current run, not yet queued
  // Under m_csLines: lines reach the text log with their arrival time, and
  // with their direction's prefix.
  bool m_bStampTextLog = false;
  bool m_bPrefixTextLog = false;
  TimestampFormatter m_textLogStamps;
};

}  // namespace tarnwick
