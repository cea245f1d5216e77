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
#include <string_view>
#include <vector>

#include "display/line_ends.h"
#include "display/line_finder.h"
#include "display/line_ring.h"
#include "display/line_timestamp.h"
#include "display/log_failures.h"
#include "display/read_time.h"
#include "display/repaint_sink.h"
#include "display/screen_observer.h"
#include "display/text_column.h"
#include "display/text_log_writer.h"
#include "display/text_stage.h"
#include "display/unit_arrival.h"
#include "display/unit_settings.h"
#include "settings/live_settings.h"

namespace tarnwick {

// One display line, copied out: bytes with an explicit length; any byte value
// may occur.
using DisplayLine = std::string;

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
  // with timestamps, each line begins with its arrival time and one blank;
  // with textBeside, lines are as shown with the characters beside the units.
  // The text is the lines' bytes, in the code page, unless some line holds
  // decoded text: then all of it is UTF-8.
  struct CopiedText {
    std::string text;
    bool bUtf8 = false;
  };
  CopiedText CopyAll(bool timestamps = false, bool textBeside = false) const;
  std::string CopyAllText(bool timestamps = false, bool textBeside = false) const {
    return CopyAll(timestamps, textBeside).text;
  }

  // What a drawing needs besides the rows it draws.
  struct Extent {
    std::uint64_t generation = 0;  // see Generation
    std::size_t nLines = 0;
    std::size_t nWidest = 0;         // bytes of the longest line (as shown, see VisitShownRows)
    std::uint64_t nFirstNumber = 0;  // the number of line 0 (see LineRing::FirstNumber)
  };
  // UI thread, for drawing: under m_csLines, calls visit(index, line, time)
  // for the lines first .. first + count - 1 that exist, oldest first, then
  // lastLine(extent); what that returns (if anything) becomes the last line's
  // rectangle. The cost is that of the rows asked for, whatever the history.
  Extent VisitRows(std::size_t first, std::size_t count,
                   const std::function<void(std::size_t, std::string_view, LineTime)>& visit,
                   const std::function<std::optional<Rect>(const Extent&)>& lastLine);
  // The same for lines as shown: with textBeside, number-format lines carry the
  // characters of their bytes after the units (see text_column.h), and nWidest
  // reckons with them. unitsLength: where the units end on the shown line.
  struct ShownRow {
    std::size_t nIndex = 0;
    std::uint64_t nNumber = 0;
    std::string_view text;
    std::size_t nUnitsLength = 0;
    LineTime time = 0;
    LineDirection direction = LineDirection::kReceived;
    // Decoded text: UTF-8, with its style runs (see text_style.h).
    bool bDecoded = false;
    std::string_view styles;
  };
  Extent VisitShownRows(std::size_t first, std::size_t count, bool textBeside,
                        const std::function<void(const ShownRow&)>& visit,
                        const std::function<std::optional<Rect>(const Extent&)>& lastLine);
  // Any thread: the lines numbered from `from` on (or from the oldest held),
  // at most maxLines, as shown, in one hold of the lock; returns what is held.
  FindSource::Held VisitShownFrom(std::uint64_t from, std::size_t maxLines, bool textBeside,
                                  const FindSource::Visitor& visit) const;
  // Grows whenever the lines change (a complete unit, a Clear): a drawing of
  // the same generation shows the lines as they are.
  std::uint64_t Generation() const;

  std::size_t LineCount() const;
  std::vector<DisplayLine> Lines() const;      // a copy, for tests and tools
  std::vector<std::string> LineBytes() const;  // each line's number units' bytes, oldest first
  std::vector<LineDirection> LineDirections() const;  // each line's direction, oldest first
  std::vector<LineTime> LineTimes() const;            // each line's arrival time, oldest first
  // What the lines hold in reserve, by part, for measurements.
  LineRing::Footprint LineStorage() const;
  Rect LastLineRect() const;
  void SetLastLineRect(const Rect& rect);

  // Bytes of the unit being assembled and units on the last line, for tests.
  std::int32_t UnitFill() const { return FillOf(m_nFillAndTaken.load(std::memory_order_relaxed)); }
  std::int32_t UnitsOnLine() const;
  // Bytes shown as invalid (\xHH) since the last Clear: sequences that did
  // not decode and escape sequences that went wrong, each counted once.
  std::uint64_t InvalidCount() const { return m_nInvalid.load(std::memory_order_relaxed); }

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

  // afterPause: the unit follows a pause that ends the line.
  // endsLine: a CR (or, as the options say, a LF) in TEXT line mode.
  class LineSink;
  void AddBytes(LineDirection direction, const std::uint8_t* data, std::size_t length,
                const ReadTime& readTime, ScreenObserver* observer);
  void ConsumeUnit(const UnitSettings& s, std::uint8_t b, bool afterPause, bool endsLine,
                   RunEffects& fx);
  std::size_t UnitText(const UnitSettings& s, std::uint8_t b, char* out) const;
  void CountUnit(bool lineBoundary, RunEffects& fx);
  // Whether a unit ends the line in TEXT line mode; called once per unit, in order.
  bool EndsLine(const UnitSettings& s, std::uint8_t b) {
    return s.bLineMode && m_lineEnds.Next(b, m_options.nLineEnds) == LineEndRule::Byte::kEndLine;
  }
  // The unit's bytes join the last line's (number formats only).
  static bool KeepsBytes(const UnitSettings& s) {
    return s.bPlainFormat && s.nFormat != kFormatText;
  }
  // Under m_csLines: calls shown(i, text, unitsLength) for line i as shown.
  template <class F>
  void ShowLine(std::size_t i, bool textBeside, std::string& scratch, F&& shown) const;
  // Units that joined the last line, gathered, onto it: their text and bytes.
  void AppendJoinedUnits(const char* text, std::size_t length, const std::uint8_t* bytes,
                         std::size_t byteCount);
  void TrimLines(const UnitSettings& s, RunEffects& fx);
  void SyncSettings();
  void WriteTextLine(RunEffects& fx);
  void QueueTextLog(const RunEffects& fx, const SETTINGS& settings);
  void RequestRepaint(const RunEffects& fx, const Rect& lastLine);
  // The last line ends (once): the observer hears of it.
  void CompleteLine(const UnitSettings& s);
  // Whether the unit may join the last line: the same direction, and text
  // read the same way (through the text stage or not).
  bool LineTakes(const UnitSettings& s) const;
  // A decoded TEXT unit's byte through the text stage onto the last line.
  void PlaceDecoded(const UnitSettings& s, std::uint8_t b, bool endsLine);
  // Under m_csLines: what the text log gets for the last line.
  std::string_view TextLogLine();

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

  // Worker only, except that Clear resets the fill under m_csLines.
  // Each direction assembles its own units: m_unitBytes and m_arrival point
  // at those of the run in progress. The sent direction's fill is kept under
  // m_csLines (its bytes always take the lock).
  std::uint8_t m_unitBytesOf[2][4] = {};
  std::uint8_t* m_unitBytes = m_unitBytesOf[0];
  int m_nSentFill = 0;
  LineDirection m_direction = LineDirection::kReceived;
  std::atomic<bool> m_bPrefixes{false};
  bool m_bPrefixTextLog = false;  // under m_csLines
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
  UnitArrival m_arrivalOf[2];
  UnitArrival* m_arrival = &m_arrivalOf[0];

  // Lines are queued for the text log under m_csLines and written outside it.
  TextLogWriter m_textLog;
  std::string m_textPending;  // closed lines of the current run, not yet queued
  // Under m_csLines: lines reach the text log with their arrival time.
  bool m_bStampTextLog = false;
  // Under m_csLines: what ends every line of the text log (may be nothing).
  std::string_view m_textLogLineEnd;
  // Worker only: which bytes end TEXT lines, across reads.
  LineEndRule m_lineEnds;
  // Under m_csLines: each direction's text stage, and that of the run in
  // progress; the style of the last line's last run; the last line with the
  // escape sequences it came with, for a text log that keeps them.
  TextStage m_stageOf[2];
  TextStage* m_pStage = &m_stageOf[0];
  TextStyle m_lineStyle;
  bool m_bKeepEscapes = false;
  bool m_bLogLineKept = false;
  std::string m_logLine;
  TextEncoding m_textLogEncoding = TextEncoding::kCp1252;
  std::string m_logScratch;
  std::uint64_t m_nInvalidBefore = 0;  // counted before the last Clear
  std::atomic<std::uint64_t> m_nInvalid{0};
  TimestampFormatter m_textLogStamps;
};

}  // namespace tarnwick
