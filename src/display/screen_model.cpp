#include "display/screen_model.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string_view>

#include "display/unit_formatter.h"

namespace tarnwick {
namespace {

constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;
constexpr std::size_t kPendingTextCapacity = 1024;
constexpr auto kPaintLockPatience = std::chrono::microseconds(200);
// With no column limit a line may take more units than an int32 counts: the
// count saturates instead of wrapping round to 0 or below.
constexpr std::int32_t kMaxUnitsOnLine = std::numeric_limits<std::int32_t>::max();

std::string_view TextFilePath(const SETTINGS& settings) {
  // Bounded: a hand-edited record may hold a path without its NUL.
  return {settings.szTextFile, ::strnlen(settings.szTextFile, kPathBufferSize)};
}

}  // namespace

// ---- LineRing ---------------------------------------------------------------

void LineRing::pop_front() {
  m_slots[m_head].line.clear();  // keeps the capacity for a later line
  m_head = (m_head + 1) & m_mask;
  --m_count;
}

DisplayLine& LineRing::push_back_empty(LineTime time) {
  if (m_count == m_slots.size()) Grow();
  Slot& slot = m_slots[(m_head + m_count) & m_mask];
  slot.line.clear();
  slot.time = time;
  ++m_count;
  return slot.line;
}

void LineRing::clear() {
  for (Slot& slot : m_slots) slot.line.clear();
  m_head = 0;
  m_count = 0;
}

void LineRing::Grow() {
  const std::size_t capacity = m_slots.empty() ? 8 : 2 * m_slots.size();
  std::vector<Slot> slots(capacity);
  for (std::size_t i = 0; i < m_count; ++i) slots[i] = std::move(m_slots[(m_head + i) & m_mask]);
  m_slots = std::move(slots);
  m_mask = capacity - 1;
  m_head = 0;
}

// ---- ScreenModel ------------------------------------------------------------

ScreenModel::ScreenModel(const LiveSettings& settings, RepaintSink* sink)
    : m_live(settings), m_pSink(sink) {
  m_live.Refresh(m_settings, m_options, m_nSettingsVersion);
}

void ScreenModel::SetLogFailures(LogFailures* failures) {
  std::lock_guard<std::mutex> lock(m_csLines);
  m_textLog.SetReporter(failures, LogKind::kText);
}

// Takes the record the user-interface thread published last. A text log that
// was switched off is closed; one whose path changed reopens at its next write.
void ScreenModel::SyncSettings() {
  if (!m_live.Refresh(m_settings, m_options, m_nSettingsVersion) || m_settings.bSaveText != 0) {
    return;
  }
  std::lock_guard<std::mutex> lock(m_csLines);
  m_textLog.Close();
}

ScreenModel::UnitSettings ScreenModel::ReadUnitSettings(const SETTINGS& settings) {
  UnitSettings s;
  // A unit holds 1 to 4 bytes (m_unitBytes has four): a length index from a
  // hand-edited record outside 0..3 is clamped into that range.
  s.nUnitLength = std::clamp<std::int32_t>(settings.nUnitLengthIndex, 0, 3) + 1;
  s.nFormat = settings.nUnitFormatIndex;
  s.bReverse = settings.bReverseBytes != 0;
  s.nColumns = settings.nColumns;
  // The trimming loop removes lines while there are at least nRows of them;
  // with nRows below 1 it would run on an empty list. Such a value keeps one
  // line; a huge one keeps kMaxDisplayRows, so a long stream cannot take all
  // memory. The record keeps what the user entered.
  s.nRows = std::clamp<std::int32_t>(settings.nRows, 1, kMaxDisplayRows);
  s.bLineMode = s.nFormat == kFormatText && s.nColumns == 0;
  s.bPlainFormat = s.nFormat >= kFormatText && s.nFormat <= kFormatFloat;
  s.bSaveText = settings.bSaveText != 0;
  return s;
}

inline std::size_t ScreenModel::UnitText(const UnitSettings& s, std::uint8_t b, char* out) const {
  const int n = s.nUnitLength;
  switch (s.nFormat) {
    case kFormatText:
      // Line mode drops LF; every other byte, zero included, is one character.
      if (s.bLineMode && b == kLineFeed) return 0;
      out[0] = static_cast<char>(b);
      return 1;
    case kFormatHex:
      return FormatHexUnit(UnitValue(m_unitBytes, n, s.bReverse), n, out);
    case kFormatBinary:
      return FormatBinaryUnit(m_unitBytes, n, out);
    case kFormatDec:
      return FormatDecUnit(UnitValue(m_unitBytes, n, s.bReverse), n, out);
    default:
      return FormatFloatUnit(UnitValue(m_unitBytes, n, s.bReverse), out);
  }
}

void ScreenModel::AddReceivedByte(std::uint8_t b) { AddReceivedBytes(&b, 1); }

void ScreenModel::AddReceivedBytes(const std::uint8_t* data, std::size_t length) {
  AddReceivedBytes(data, length, ReadTime::Now());
}

void ScreenModel::AddReceivedBytes(const std::uint8_t* data, std::size_t length,
                                   const ReadTime& readTime) {
  if (length == 0) return;
  SyncSettings();
  const UnitSettings s = ReadUnitSettings(m_settings);
  m_arrival.SetPauseMs(m_options.nPauseBreakMs);
  // Bytes that do not complete a unit cost no lock, no formatting, no repaint.
  // A Clear on the other thread may reset the fill meanwhile; the exchange
  // then fails and the bytes start the fresh unit instead of undoing the Clear.
  std::uint64_t word = m_nFillAndTaken.load(std::memory_order_relaxed);
  int fill = FillOf(word);
  while (length < static_cast<std::size_t>(std::max(1, s.nUnitLength - fill))) {
    for (std::size_t i = 0; i < length; ++i) m_unitBytes[fill + i] = data[i];
    if (m_nFillAndTaken.compare_exchange_strong(word, word + length + Taken(length),
                                                std::memory_order_relaxed)) {
      m_arrival.BeginBatch(readTime, data, length, fill, s.nUnitLength);
      return;
    }
    fill = FillOf(word);
  }

  RunEffects fx;
  Rect lastLine;
  {
    std::lock_guard<std::mutex> lock(m_csLines);
    // Taken under the lock with the lines: a Clear either sees the whole run
    // on the screen and in this count, or neither.
    // A Clear may have dropped the partial unit since it was read above.
    fill = FillOf(m_nFillAndTaken.fetch_add(Taken(length), std::memory_order_relaxed));
    m_nGeneration.fetch_add(1, std::memory_order_release);
    m_arrival.BeginBatch(readTime, data, length, fill, s.nUnitLength);
    m_bStampTextLog = m_options.bTimestampsInLog;
    // A pause breaks the line before one of the first two units the batch
    // completes: those up to the last such unit are placed one by one here,
    // so the loop below, which carries the run, has nothing to watch for.
    std::size_t start = 0;
    for (std::size_t stop; (stop = m_arrival.NextBreak()) < length;) {
      for (; start <= stop; ++start) {
        m_unitBytes[fill++] = data[start];
        if (fill < s.nUnitLength) continue;
        fill = 0;
        const bool afterPause = start == stop;
        if (afterPause) m_arrival.TakeBreak();
        m_arrival.ReachUnit(data + start);
        ConsumeUnit(s, data[start], afterPause, fx);
      }
    }
    data += start;
    length -= start;
    // Units that join the last line gather here and reach the line in one
    // append; anything that looks at or changes the lines flushes them first.
    char pending[kPendingTextCapacity];
    std::size_t pendingLength = 0;
    // m_nUnitsOnLine in a register while units join the line.
    std::int32_t units = m_nUnitsOnLine;
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint8_t b = data[i];
      m_unitBytes[fill++] = b;
      if (fill < s.nUnitLength) continue;
      fill = 0;
      const bool joinsLine = units > 0 && (s.nColumns == 0 || units < s.nColumns);
      if (joinsLine && s.bPlainFormat && !(s.bLineMode && b == kCarriageReturn)) {
        pendingLength += UnitText(s, b, pending + pendingLength);
        if (units < kMaxUnitsOnLine) ++units;
        fx.bLastLine = true;
        if (pendingLength > kPendingTextCapacity - kUnitTextCapacity) {
          AppendJoinedUnits(pending, pendingLength);
          pendingLength = 0;
        }
        continue;
      }
      if (pendingLength > 0) {
        AppendJoinedUnits(pending, pendingLength);
        pendingLength = 0;
      }
      m_nUnitsOnLine = units;
      m_arrival.ReachUnit(data + i);
      ConsumeUnit(s, b, false, fx);
      units = m_nUnitsOnLine;
    }
    if (pendingLength > 0) AppendJoinedUnits(pending, pendingLength);
    m_nUnitsOnLine = units;
    // Under the lock: nothing but this thread changes the word meanwhile.
    const std::uint64_t word = m_nFillAndTaken.load(std::memory_order_relaxed);
    m_nFillAndTaken.store((word & ~std::uint64_t{0xFF}) | static_cast<std::uint64_t>(fill),
                          std::memory_order_relaxed);
    FlushTextLog(fx, m_settings);
    m_nLineCount.store(m_lines.size(), std::memory_order_release);
    // The paint writes m_rcLastLine under the lock; take it while we hold it.
    lastLine = m_rcLastLine;
  }
  RequestRepaint(fx, lastLine);
}

void ScreenModel::ConsumeUnit(const UnitSettings& s, std::uint8_t b, bool afterPause,
                              RunEffects& fx) {
  bool lineBoundary = false;

  // Line full: a negative column count is always reached, so every unit gets
  // a line of its own. A pause before the unit ends a line as a full one
  // does, unless nothing is on the line yet (the line a LF started in line
  // mode stays for the text that follows) or the unit is a CR that ends the
  // line anyway.
  const bool pauseBreak = afterPause && m_nUnitsOnLine > 0 && !m_lines.empty() &&
                          !m_lines.back().empty() && !(s.bLineMode && b == kCarriageReturn);
  if (pauseBreak || (s.nColumns != 0 && m_nUnitsOnLine >= s.nColumns)) {
    m_nUnitsOnLine = 0;
    lineBoundary = true;
    TrimLines(s, fx);
  }

  if (m_nUnitsOnLine == 0) {
    lineBoundary = true;
    if (s.bSaveText) WriteTextLine(fx);
    m_lines.push_back_empty(m_arrival.UnitTime());
  }

  if (s.bLineMode && b == kCarriageReturn) {
    // Ends the line: nothing is appended, and the next unit starts a new line.
    lineBoundary = true;
    TrimLines(s, fx);
    m_nUnitsOnLine = -1;  // CountUnit brings it to 0
    m_bLineAwaitsText = false;
  } else {
    DisplayLine& line = m_lines.back();
    if (s.bPlainFormat) {
      char text[kUnitTextCapacity];
      line.append(text, UnitText(s, b, text));
    } else {
      line.assign(kUnknownFormatText);
    }
    // Only a LF in line mode leaves a line showing nothing; such a line
    // takes the time of its first text.
    if (line.empty()) {
      m_bLineAwaitsText = true;
    } else if (m_bLineAwaitsText) {
      m_lines.SetBackTime(m_arrival.UnitTime());
      m_bLineAwaitsText = false;
    }
  }
  CountUnit(lineBoundary, fx);
}

void ScreenModel::AppendJoinedUnits(const char* text, std::size_t length) {
  // A line that showed nothing yet (one a LF started in line mode) takes the
  // time of its first text: that of the first unit joined since a unit was
  // last placed one by one.
  if (m_bLineAwaitsText && length > 0) {
    m_lines.SetBackTime(m_arrival.JoinedUnitTime());
    m_bLineAwaitsText = false;
  }
  m_lines.back().append(text, length);
}

void ScreenModel::CountUnit(bool lineBoundary, RunEffects& fx) {
  if (m_nUnitsOnLine < kMaxUnitsOnLine) ++m_nUnitsOnLine;
  if (lineBoundary) {
    fx.bWholeView = true;
  } else {
    fx.bLastLine = true;
  }
}

void ScreenModel::TrimLines(const UnitSettings& s, RunEffects& fx) {
  while (m_lines.size() >= static_cast<std::size_t>(s.nRows)) {
    // With a single row the trimming would drop the line that is just being
    // closed before it reaches the text log. Write it first; the new line's
    // WriteTextLine then finds no line, so nothing is written twice.
    if (m_lines.size() == 1 && s.bSaveText) WriteTextLine(fx);
    m_lines.pop_front();
  }
}

void ScreenModel::WriteTextLine(RunEffects& fx) {
  // The file is created even when there is no line to write.
  fx.bTextLogTouched = true;
  if (m_lines.empty()) return;
  if (!m_bStampTextLog) {
    m_textPending.append(m_lines.back());
    return;
  }
  // A stamp is read at the start of a line: stamped lines end with CR LF.
  char stamp[kTimestampLength];
  m_textLogStamps.Format(m_lines.BackTime(), stamp);
  m_textPending.append(stamp, kTimestampLength);
  m_textPending.push_back(' ');
  m_textPending.append(m_lines.back());
  m_textPending.append("\r\n");
}

void ScreenModel::FlushTextLog(const RunEffects& fx, const SETTINGS& settings) {
  if (!fx.bTextLogTouched) return;
  // A log that cannot be opened or written costs this data, silently; the
  // display carries on and the next line tries again.
  m_textLog.Append(TextFilePath(settings),
                   reinterpret_cast<const std::uint8_t*>(m_textPending.data()),
                   m_textPending.size());
  m_textPending.clear();
}

void ScreenModel::RequestRepaint(const RunEffects& fx, const Rect& lastLine) {
  if (!m_pSink) return;
  if (fx.bWholeView) m_pSink->InvalidateAll();
  if (fx.bLastLine) {
    m_pSink->InvalidateRect(lastLine);
    // The header strip with the byte counters, as tall as the last line.
    m_pSink->InvalidateRect(Rect{0, 0, lastLine.right, lastLine.bottom - lastLine.top});
  }
}

void ScreenModel::Clear(const std::function<void(std::uint32_t bytesTaken)>& underLock) {
  // The worker's copy is not ours to read; the published record is current.
  const SETTINGS settings = m_live.Current();
  const bool stampTextLog = m_live.CurrentOptions().bTimestampsInLog;
  {
    std::lock_guard<std::mutex> lock(m_csLines);
    m_bStampTextLog = stampTextLog;
    if (settings.bSaveText != 0) {
      // The line being filled has not been written by anything else yet.
      RunEffects fx;
      WriteTextLine(fx);
      FlushTextLog(fx, settings);
    }
    m_nUnitsOnLine = 0;
    m_lines.clear();
    m_nLineCount.store(0, std::memory_order_release);
    m_nGeneration.fetch_add(1, std::memory_order_release);
    m_bLineAwaitsText = false;
    // The partial unit goes with its count, in one step.
    const auto taken =
        static_cast<std::uint32_t>(m_nFillAndTaken.exchange(0, std::memory_order_relaxed) >> 32);
    if (underLock) underLock(taken);
  }
  if (m_pSink) m_pSink->InvalidateAll();
}

std::string ScreenModel::CopyAllText(bool timestamps) const {
  std::lock_guard<std::mutex> lock(m_csLines);
  const std::size_t stampLength = timestamps ? kTimestampLength + 1 : 0;
  std::size_t total = 0;
  for (std::size_t i = 0; i < m_lines.size(); ++i) total += stampLength + m_lines[i].size() + 2;
  std::string text;
  text.reserve(total);
  TimestampFormatter stamps;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (timestamps) {
      char stamp[kTimestampLength];
      stamps.Format(m_lines.TimeAt(i), stamp);
      text.append(stamp, kTimestampLength);
      text.push_back(' ');
    }
    text.append(m_lines[i]);
    text.append("\r\n");
  }
  return text;
}

std::uint64_t ScreenModel::VisitLines(const std::function<void(const DisplayLine&)>& visit,
                                      const std::function<std::optional<Rect>()>& lastLine) {
  if (!visit) return VisitLines(std::function<void(const DisplayLine&, LineTime)>(), lastLine);
  return VisitLines([&visit](const DisplayLine& line, LineTime) { visit(line); }, lastLine);
}

std::uint64_t ScreenModel::VisitLines(
    const std::function<void(const DisplayLine&, LineTime)>& visit,
    const std::function<std::optional<Rect>()>& lastLine) {
  // The worker holds the lock for one received batch, some tens of
  // microseconds even in a flood: a paint waits that long rather than go to
  // sleep and be woken once more in its frame.
  std::unique_lock<std::mutex> lock(m_csLines, std::try_to_lock);
  if (!lock.owns_lock()) {
    const auto until = std::chrono::steady_clock::now() + kPaintLockPatience;
    while (!lock.try_lock() && std::chrono::steady_clock::now() < until) {
    }
    if (!lock.owns_lock()) lock.lock();
  }
  if (visit) {
    for (std::size_t i = 0; i < m_lines.size(); ++i) visit(m_lines[i], m_lines.TimeAt(i));
  }
  if (lastLine) {
    if (const std::optional<Rect> rect = lastLine()) m_rcLastLine = *rect;
  }
  return m_nGeneration.load(std::memory_order_relaxed);
}

// Both are written under m_csLines and read without it: the paint asks at
// every frame while the worker may hold the lock for a whole flood batch.
std::uint64_t ScreenModel::Generation() const {
  return m_nGeneration.load(std::memory_order_acquire);
}

std::size_t ScreenModel::LineCount() const { return m_nLineCount.load(std::memory_order_acquire); }

std::vector<DisplayLine> ScreenModel::Lines() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  std::vector<DisplayLine> lines;
  lines.reserve(m_lines.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) lines.push_back(m_lines[i]);
  return lines;
}

std::vector<LineTime> ScreenModel::LineTimes() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  std::vector<LineTime> times;
  times.reserve(m_lines.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) times.push_back(m_lines.TimeAt(i));
  return times;
}

Rect ScreenModel::LastLineRect() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  return m_rcLastLine;
}

void ScreenModel::SetLastLineRect(const Rect& rect) {
  std::lock_guard<std::mutex> lock(m_csLines);
  m_rcLastLine = rect;
}

std::int32_t ScreenModel::UnitsOnLine() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  return m_nUnitsOnLine;
}

ScreenModel::StreamPosition ScreenModel::Position() const {
  StreamPosition position;
  std::lock_guard<std::mutex> lock(m_csLines);
  position.nUnitFill = FillOf(m_nFillAndTaken.load(std::memory_order_relaxed));
  std::memcpy(position.unitBytes, m_unitBytes, sizeof m_unitBytes);
  position.nUnitsOnLine = m_nUnitsOnLine;
  position.bLastLineShowsText = !m_lines.empty() && !m_lines.back().empty();
  return position;
}

}  // namespace tarnwick
