#include "display/screen_model.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string_view>

#include "display/code_pages.h"
#include "display/standard_output.h"
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

// What ends a line of the text log: nothing, as the file always had, or CR LF
// when asked for, or when the line starts with a stamp or a prefix (read at
// the start of a line). On standard output LF instead, and LF always, where
// a pipe's reader takes a line to end; unless the lines are TEXT cut by a
// column count, which hold the received line ends themselves: the output is
// then the received text as it came.
std::string_view TextLogLineEnd(const DisplayOptions& options, const SETTINGS& settings,
                                bool marked) {
  const bool standardOutput = IsStandardOutputPath(TextFilePath(settings));
  if (marked || options.bTextLogLineEnds) return standardOutput ? "\n" : "\r\n";
  const bool textByCount = settings.nUnitFormatIndex == kFormatText && settings.nColumns != 0;
  return standardOutput && !textByCount ? "\n" : "";
}

// The prefixes are equally wide, so the lines stay in their columns.
static_assert(ScreenModel::kSentPrefix.size() == ScreenModel::kReceivedPrefix.size());

std::string_view PrefixOf(LineDirection direction) {
  return direction == LineDirection::kSent ? ScreenModel::kSentPrefix
                                           : ScreenModel::kReceivedPrefix;
}

}  // namespace

// What the text stage shows goes onto the last line: the text, a style run
// where the style changes, and (for a text log that keeps them) the escape
// sequences beside the text.
class ScreenModel::LineSink : public StyledTextSink {
 public:
  explicit LineSink(ScreenModel& model) : m_model(model) {}
  void ShowText(std::string_view utf8, std::size_t, const TextStyle& style) override {
    LineRing& lines = m_model.m_lines;
    if (style != m_model.m_lineStyle) {
      const StyleRun run{static_cast<std::uint32_t>(lines.back().size()), style};
      lines.AppendBytes(reinterpret_cast<const std::uint8_t*>(&run), sizeof run);
      m_model.m_lineStyle = style;
    }
    lines.AppendText(utf8);
    if (m_model.m_bLogLineKept) m_model.m_logLine.append(utf8);
  }
  void KeepSequence(std::string_view bytes) override {
    if (m_model.m_bLogLineKept) m_model.m_logLine.append(bytes);
  }

 private:
  ScreenModel& m_model;
};

// ---- ScreenModel ------------------------------------------------------------

ScreenModel::ScreenModel(const LiveSettings& settings, RepaintSink* sink)
    : m_live(settings), m_pSink(sink) {
  m_live.Refresh(m_settings, m_options, m_nSettingsVersion);
  m_textLog.SetRotation(RotationPolicyOf(m_options));
}

void ScreenModel::SetLogFailures(LogFailures* failures) { m_textLog.SetReporter(failures); }

// Takes the record the user-interface thread published last. A text log that
// was switched off is closed; one whose path changed reopens at its next write.
void ScreenModel::SyncSettings() {
  if (!m_live.Refresh(m_settings, m_options, m_nSettingsVersion)) return;
  m_textLog.SetRotation(RotationPolicyOf(m_options));
  if (m_settings.bSaveText != 0) return;
  m_textLog.QueueClose();
  m_textLog.Drain();
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
      return FormatHexUnit(UnitBits(s, m_unitBytes), n, out);
    case kFormatBinary:
      return FormatBinaryUnit(m_unitBytes, n, out);
    case kFormatDec:
      return FormatDecUnit(UnitBits(s, m_unitBytes), n, out);
    default:
      return FormatFloatUnit(UnitBits(s, m_unitBytes), out);
  }
}

void ScreenModel::AddReceivedByte(std::uint8_t b) { AddReceivedBytes(&b, 1); }

void ScreenModel::AddReceivedBytes(const std::uint8_t* data, std::size_t length) {
  AddReceivedBytes(data, length, ReadTime::Now());
}

void ScreenModel::AddReceivedBytes(const std::uint8_t* data, std::size_t length,
                                   const ReadTime& readTime, ScreenObserver* observer) {
  AddBytes(LineDirection::kReceived, data, length, readTime, observer);
}

void ScreenModel::AddSentBytes(const std::uint8_t* data, std::size_t length,
                               const ReadTime& readTime, ScreenObserver* observer) {
  AddBytes(LineDirection::kSent, data, length, readTime, observer);
}

void ScreenModel::AddBytes(LineDirection direction, const std::uint8_t* data, std::size_t length,
                           const ReadTime& readTime, ScreenObserver* observer) {
  if (length == 0) return;
  const bool sent = direction == LineDirection::kSent;
  m_direction = direction;
  m_unitBytes = m_unitBytesOf[sent ? 1 : 0];
  m_arrival = &m_arrivalOf[sent ? 1 : 0];
  SyncSettings();
  const UnitSettings s = tarnwick::ReadUnitSettings(m_settings, m_options);
  m_arrival->SetPauseMs(m_options.nPauseBreakMs);
  // Bytes that do not complete a unit cost no lock, no formatting, no repaint.
  // A Clear on the other thread may reset the fill meanwhile; the exchange
  // then fails and the bytes start the fresh unit instead of undoing the Clear.
  std::uint64_t word = m_nFillAndTaken.load(std::memory_order_relaxed);
  int fill = FillOf(word);
  while (!sent && length < static_cast<std::size_t>(std::max(1, s.nUnitLength - fill))) {
    for (std::size_t i = 0; i < length; ++i) m_unitBytes[fill + i] = data[i];
    if (m_nFillAndTaken.compare_exchange_strong(word, word + length + Taken(length),
                                                std::memory_order_relaxed)) {
      m_arrival->BeginBatch(readTime, data, length, fill, s.nUnitLength);
      return;
    }
    fill = FillOf(word);
  }

  RunEffects fx;
  Rect lastLine;
  {
    std::lock_guard<std::mutex> lock(m_csLines);
    m_pObserver = observer;
    // Taken under the lock with the lines: a Clear either sees the whole run
    // on the screen and in this count, or neither.
    // A Clear may have dropped the partial unit since it was read above.
    fill = sent ? m_nSentFill
                : FillOf(m_nFillAndTaken.fetch_add(Taken(length), std::memory_order_relaxed));
    m_nGeneration.fetch_add(1, std::memory_order_release);
    m_arrival->BeginBatch(readTime, data, length, fill, s.nUnitLength);
    m_bStampTextLog = m_options.bTimestampsInLog;
    m_bPrefixTextLog = m_bPrefixes.load(std::memory_order_relaxed);
    m_textLogStamps.SetStyle(m_options.timestampStyle);
    m_pStage = &m_stageOf[sent ? 1 : 0];
    if (s.bDecodedText) m_pStage->Configure(m_options);
    m_bKeepEscapes = m_options.bTextLogKeepsEscapes && m_options.bAnsiColours;
    m_textLogEncoding = m_options.textEncoding;
    m_textLogLineEnd = TextLogLineEnd(m_options, m_settings, m_bStampTextLog || m_bPrefixTextLog);
    // Bytes of another format break a CR LF pair.
    if (!s.bLineMode) m_lineEnds.Interrupt();
    // A pause breaks the line before one of the first two units the batch
    // completes: those up to the last such unit are placed one by one here,
    // so the loop below, which carries the run, has nothing to watch for.
    std::size_t start = 0;
    for (std::size_t stop; (stop = m_arrival->NextBreak()) < length;) {
      for (; start <= stop; ++start) {
        m_unitBytes[fill++] = data[start];
        if (fill < s.nUnitLength) continue;
        fill = 0;
        const bool afterPause = start == stop;
        if (afterPause) m_arrival->TakeBreak();
        m_arrival->ReachUnit(data + start);
        ConsumeUnit(s, data[start], afterPause, EndsLine(s, data[start]), fx);
      }
    }
    data += start;
    length -= start;
    // Units that join the last line gather here and reach the line in one
    // append; anything that looks at or changes the lines flushes them first.
    char pending[kPendingTextCapacity];
    std::size_t pendingLength = 0;
    // Their bytes, for number formats: a unit's text is at least two
    // characters for at most four bytes.
    std::uint8_t pendingBytes[2 * kPendingTextCapacity];
    std::size_t pendingByteCount = 0;
    const bool keepBytes = KeepsBytes(s);
    // m_nUnitsOnLine in a register while units join the line.
    std::int32_t units = m_nUnitsOnLine;
    // A line of the other direction, or decoded when these units are not,
    // is ended by the next unit, placed alone. Decoded text is placed a
    // byte at a time: no line is ever its to join.
    bool lineOurs = !s.bDecodedText && (m_lines.empty() || LineTakes(s));
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint8_t b = data[i];
      m_unitBytes[fill++] = b;
      if (fill < s.nUnitLength) continue;
      fill = 0;
      // An observer hears of every unit: then each is placed one by one.
      const bool joinsLine =
          !observer && lineOurs && units > 0 && (s.nColumns == 0 || units < s.nColumns);
      const bool endsLine = EndsLine(s, b);
      if (joinsLine && s.bPlainFormat && !endsLine) {
        pendingLength += UnitText(s, b, pending + pendingLength);
        if (keepBytes) {
          std::memcpy(pendingBytes + pendingByteCount, m_unitBytes,
                      static_cast<std::size_t>(s.nUnitLength));
          pendingByteCount += static_cast<std::size_t>(s.nUnitLength);
        }
        if (units < kMaxUnitsOnLine) ++units;
        fx.bLastLine = true;
        if (pendingLength > kPendingTextCapacity - kUnitTextCapacity) {
          AppendJoinedUnits(pending, pendingLength, pendingBytes, pendingByteCount);
          pendingLength = 0;
          pendingByteCount = 0;
        }
        continue;
      }
      if (pendingLength > 0) {
        AppendJoinedUnits(pending, pendingLength, pendingBytes, pendingByteCount);
        pendingLength = 0;
        pendingByteCount = 0;
      }
      m_nUnitsOnLine = units;
      m_arrival->ReachUnit(data + i);
      ConsumeUnit(s, b, false, endsLine, fx);
      units = m_nUnitsOnLine;
      lineOurs = !s.bDecodedText;
    }
    if (pendingLength > 0) {
      AppendJoinedUnits(pending, pendingLength, pendingBytes, pendingByteCount);
    }
    m_nUnitsOnLine = units;
    // Under the lock: nothing but this thread changes the word meanwhile.
    if (sent) {
      m_nSentFill = fill;
    } else {
      const std::uint64_t word = m_nFillAndTaken.load(std::memory_order_relaxed);
      m_nFillAndTaken.store((word & ~std::uint64_t{0xFF}) | static_cast<std::uint64_t>(fill),
                            std::memory_order_relaxed);
    }
    QueueTextLog(fx, m_settings);
    if (s.bDecodedText) {
      m_nInvalid.store(m_stageOf[0].InvalidCount() + m_stageOf[1].InvalidCount() - m_nInvalidBefore,
                       std::memory_order_relaxed);
    }
    m_pObserver = nullptr;
    m_nLineCount.store(m_lines.size(), std::memory_order_release);
    // The paint writes m_rcLastLine under the lock; take it while we hold it.
    lastLine = m_rcLastLine;
  }
  // The file is written outside the lock, in the order the lines closed.
  if (fx.bTextLogTouched) m_textLog.Drain();
  if (observer) observer->OnReadPlaced();
  RequestRepaint(fx, lastLine);
}

void ScreenModel::CompleteLine(const UnitSettings& s) {
  if (m_bLineCompleted || m_lines.empty()) return;
  m_bLineCompleted = true;
  if (m_pObserver) {
    m_pObserver->OnLineCompleted(s, CompletedLine{m_lines.back(), m_lines.BackTime(),
                                                  m_lines.Direction(m_lines.size() - 1)});
  }
}

void ScreenModel::ConsumeUnit(const UnitSettings& s, std::uint8_t b, bool afterPause, bool endsLine,
                              RunEffects& fx) {
  bool lineBoundary = false;

  // A unit of the other direction ends the line, as a full line does; so
  // does one read another way (through the text stage or not). A line that
  // shows nothing yet (one a LF started in line mode) takes the unit's
  // direction and reading instead of staying behind empty.
  if (m_nUnitsOnLine > 0 && !m_lines.empty() && !LineTakes(s)) {
    if (m_lines.back().empty()) {
      m_lines.SetBackDirection(m_direction);
      m_lines.SetBackLayout({s.nFormat, s.nUnitLength, s.nColumns, s.bDecodedText});
    } else {
      m_nUnitsOnLine = 0;
      lineBoundary = true;
      CompleteLine(s);
      TrimLines(s, fx);
    }
  }

  // Line full: a negative column count is always reached, so every unit gets
  // a line of its own. A pause before the unit ends a line as a full one
  // does, unless nothing is on the line yet (the line a LF started in line
  // mode stays for the text that follows) or the unit is a CR that ends the
  // line anyway. A character (or escape sequence) stays on the line of its
  // first byte.
  const bool midCharacter = s.bDecodedText && m_pStage->MidSequence();
  const bool pauseBreak = afterPause && m_nUnitsOnLine > 0 && !m_lines.empty() &&
                          !m_lines.back().empty() && !endsLine && !midCharacter;
  if (pauseBreak || (s.nColumns != 0 && m_nUnitsOnLine >= s.nColumns && !midCharacter)) {
    m_nUnitsOnLine = 0;
    lineBoundary = true;
    CompleteLine(s);
    TrimLines(s, fx);
  }

  if (m_nUnitsOnLine == 0) {
    lineBoundary = true;
    if (s.bSaveText) WriteTextLine(fx);
    m_lines.push_back_empty(m_arrival->UnitTime(), m_direction);
    m_lines.SetBackLayout({s.nFormat, s.nUnitLength, s.nColumns, s.bDecodedText});
    m_bLineCompleted = false;
    // The text stage's line state; other lines never read it.
    if (s.bDecodedText) {
      m_lineStyle = TextStyle{};
      m_bLogLineKept = m_bKeepEscapes;
      m_logLine.clear();
      m_pStage->StartLine();
    }
  }
  if (m_pObserver) {
    m_pObserver->OnUnitPlaced(s, PlacedUnit{m_unitBytes, s.nUnitLength, UnitBits(s, m_unitBytes),
                                            m_nUnitsOnLine, m_arrival->UnitTime(), m_direction});
  }

  if (endsLine) {
    // Ends the line: nothing is appended, and the next unit starts a new line.
    if (s.bDecodedText) PlaceDecoded(s, b, true);
    lineBoundary = true;
    CompleteLine(s);
    TrimLines(s, fx);
    m_nUnitsOnLine = -1;  // CountUnit brings it to 0
    m_bLineAwaitsText = false;
  } else {
    if (s.bDecodedText) {
      PlaceDecoded(s, b, false);
    } else if (s.bPlainFormat) {
      char text[kUnitTextCapacity];
      m_lines.AppendText(text, UnitText(s, b, text));
      if (KeepsBytes(s)) m_lines.AppendBytes(m_unitBytes, static_cast<std::size_t>(s.nUnitLength));
    } else {
      m_lines.SetBackText(kUnknownFormatText);
    }
    // Only a LF in line mode leaves a line showing nothing; such a line
    // takes the time of its first text.
    if (m_lines.back().empty()) {
      m_bLineAwaitsText = true;
    } else if (m_bLineAwaitsText) {
      m_lines.SetBackTime(m_arrival->UnitTime());
      m_bLineAwaitsText = false;
    }
  }
  CountUnit(lineBoundary, fx);
  // A full line is complete now; the next unit would only confirm it (unless
  // it continues a character).
  if (s.nColumns != 0 && m_nUnitsOnLine >= s.nColumns &&
      !(s.bDecodedText && m_pStage->MidSequence()))
    CompleteLine(s);
}

bool ScreenModel::LineTakes(const UnitSettings& s) const {
  const std::size_t last = m_lines.size() - 1;
  if (m_lines.Direction(last) != m_direction) return false;
  // Without decoded lines in the ring no layout is looked up.
  const bool decoded = m_lines.HasDecodedText() && m_lines.LayoutAt(last).bDecodedText;
  return decoded == s.bDecodedText;
}

void ScreenModel::PlaceDecoded(const UnitSettings& s, std::uint8_t b, bool endsLine) {
  LineSink sink(*this);
  // The bytes that end lines in line mode, or are dropped there, show
  // nothing; a character or sequence they cut short shows as invalid.
  if (endsLine || (s.bLineMode && b == kLineFeed)) {
    m_pStage->Interrupt(sink);
  } else {
    m_pStage->Feed(b, sink);
  }
}

void ScreenModel::AppendJoinedUnits(const char* text, std::size_t length, const std::uint8_t* bytes,
                                    std::size_t byteCount) {
  // A line that showed nothing yet (one a LF started in line mode) takes the
  // time of its first text: that of the first unit joined since a unit was
  // last placed one by one.
  if (m_bLineAwaitsText && length > 0) {
    m_lines.SetBackTime(m_arrival->JoinedUnitTime());
    m_bLineAwaitsText = false;
  }
  m_lines.AppendText(text, length);
  m_lines.AppendBytes(bytes, byteCount);
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

std::string_view ScreenModel::TextLogLine() {
  const std::string_view line = m_lines.back();
  if (!m_lines.HasDecodedText() || !m_lines.LayoutAt(m_lines.size() - 1).bDecodedText) return line;
  const std::string_view kept = m_bLogLineKept ? std::string_view(m_logLine) : line;
  // Decoded text is logged in UTF-8, unless the encoding is the code page.
  if (m_textLogEncoding != TextEncoding::kCp1252) return kept;
  m_logScratch.clear();
  AppendAsCodePage(kept, m_logScratch);
  return m_logScratch;
}

void ScreenModel::WriteTextLine(RunEffects& fx) {
  // The file is created even when there is no line to write.
  fx.bTextLogTouched = true;
  if (m_lines.empty()) return;
  if (!m_bStampTextLog && !m_bPrefixTextLog) {
    m_textPending.append(TextLogLine());
    m_textPending.append(m_textLogLineEnd);
    return;
  }
  // A stamp or a prefix is read at the start of a line: such lines always
  // end (TextLogLineEnd).
  if (m_bStampTextLog) {
    char stamp[kMaxTimestampLength];
    m_textPending.append(stamp, m_textLogStamps.Format(m_lines.BackTime(), stamp));
    m_textPending.push_back(' ');
  }
  if (m_bPrefixTextLog) m_textPending.append(PrefixOf(m_lines.Direction(m_lines.size() - 1)));
  m_textPending.append(TextLogLine());
  m_textPending.append(m_textLogLineEnd);
}

void ScreenModel::QueueTextLog(const RunEffects& fx, const SETTINGS& settings) {
  if (fx.bTextLogTouched) m_textLog.Queue(TextFilePath(settings), m_textPending);
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
  const DisplayOptions options = m_live.CurrentOptions();
  {
    std::lock_guard<std::mutex> lock(m_csLines);
    m_bStampTextLog = options.bTimestampsInLog;
    m_textLogStamps.SetStyle(options.timestampStyle);
    m_bPrefixTextLog = m_bPrefixes.load(std::memory_order_relaxed);
    m_textLogEncoding = options.textEncoding;
    m_textLogLineEnd = TextLogLineEnd(options, settings, m_bStampTextLog || m_bPrefixTextLog);
    if (settings.bSaveText != 0) {
      // The line being filled has not been written by anything else yet.
      RunEffects fx;
      WriteTextLine(fx);
      QueueTextLog(fx, settings);
    }
    m_nUnitsOnLine = 0;
    m_lines.clear();
    m_nLineCount.store(0, std::memory_order_release);
    m_nGeneration.fetch_add(1, std::memory_order_release);
    m_bLineAwaitsText = false;
    m_bLineCompleted = false;
    m_nSentFill = 0;
    // A character or sequence in hand goes with the partial unit; the
    // colours set so far stay, as they would on a terminal.
    for (TextStage& stage : m_stageOf) stage.Reset();
    m_nInvalidBefore = m_stageOf[0].InvalidCount() + m_stageOf[1].InvalidCount();
    m_nInvalid.store(0, std::memory_order_relaxed);
    m_lineStyle = TextStyle{};
    m_bLogLineKept = false;
    m_logLine.clear();
    // The partial unit goes with its count, in one step.
    const auto taken =
        static_cast<std::uint32_t>(m_nFillAndTaken.exchange(0, std::memory_order_relaxed) >> 32);
    if (underLock) underLock(taken);
  }
  m_textLog.Drain();
  if (m_pSink) m_pSink->InvalidateAll();
}

ScreenModel::CopiedText ScreenModel::CopyAll(bool timestamps, bool textBeside) const {
  const bool prefixes = m_bPrefixes.load(std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(m_csLines);
  // One encoding for the whole text: UTF-8 as soon as one line needs it.
  const bool utf8 = m_lines.HasDecodedText();
  TimestampFormatter stamps(m_live.CurrentOptions().timestampStyle);
  const std::size_t stampLength =
      (timestamps ? stamps.Length() + 1 : 0) + (prefixes ? kSentPrefix.size() : 0);
  std::size_t total = 0;
  for (std::size_t i = 0; i < m_lines.size(); ++i) total += stampLength + m_lines[i].size() + 2;
  CopiedText copied;
  copied.bUtf8 = utf8;
  std::string& text = copied.text;
  text.reserve(total);
  std::string scratch;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (timestamps) {
      char stamp[kMaxTimestampLength];
      text.append(stamp, stamps.Format(m_lines.TimeAt(i), stamp));
      text.push_back(' ');
    }
    if (prefixes) text.append(PrefixOf(m_lines.Direction(i)));
    const bool asUtf8 = utf8 && !m_lines.LayoutAt(i).bDecodedText;
    ShowLine(i, textBeside, scratch, [&text, asUtf8](std::string_view shown, std::size_t) {
      if (asUtf8) {
        AppendCodePageAsUtf8(shown, text);
      } else {
        text.append(shown);
      }
    });
    text.append("\r\n");
  }
  return copied;
}

template <class F>
void ScreenModel::ShowLine(std::size_t i, bool textBeside, std::string& scratch, F&& shown) const {
  const std::string_view line = m_lines.Text(i);
  const TextColumnLayout layout = m_lines.LayoutAt(i);
  if (!textBeside || !HasTextColumn(layout.nFormat) || line == kUnknownFormatText) {
    shown(std::string_view(line), line.size());
    return;
  }
  scratch.clear();
  AppendWithTextColumn(scratch, line, m_lines.Bytes(i), layout);
  shown(std::string_view(scratch), line.size());
}

ScreenModel::Extent ScreenModel::VisitRows(
    std::size_t first, std::size_t count,
    const std::function<void(std::size_t, std::string_view, LineTime)>& visit,
    const std::function<std::optional<Rect>(const Extent&)>& lastLine) {
  if (!visit) return VisitShownRows(first, count, false, {}, lastLine);
  return VisitShownRows(
      first, count, false, [&visit](const ShownRow& row) { visit(row.nIndex, row.text, row.time); },
      lastLine);
}

ScreenModel::Extent ScreenModel::VisitShownRows(
    std::size_t first, std::size_t count, bool textBeside,
    const std::function<void(const ShownRow&)>& visit,
    const std::function<std::optional<Rect>(const Extent&)>& lastLine) {
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
  Extent extent;
  extent.generation = m_nGeneration.load(std::memory_order_relaxed);
  extent.nLines = m_lines.size();
  extent.nWidest = m_lines.Widest();
  extent.nFirstNumber = m_lines.FirstNumber();
  if (textBeside && extent.nLines > 0) {
    // Reckoned from the newest line's layout: the widest line's bytes are
    // not counted one by one.
    extent.nWidest = WidestWithTextColumn(m_lines.LayoutAt(extent.nLines - 1), extent.nWidest);
  }
  if (visit) {
    const std::size_t end =
        first < extent.nLines ? first + std::min(count, extent.nLines - first) : first;
    std::string scratch;
    for (std::size_t i = first; i < end; ++i) {
      ShowLine(i, textBeside, scratch, [&](std::string_view shown, std::size_t unitsLength) {
        const bool decoded = m_lines.LayoutAt(i).bDecodedText;
        visit(ShownRow{i, extent.nFirstNumber + i, shown, unitsLength, m_lines.TimeAt(i),
                       m_lines.Direction(i), decoded,
                       decoded ? m_lines.Bytes(i) : std::string_view()});
      });
    }
  }
  if (lastLine) {
    if (const std::optional<Rect> rect = lastLine(extent)) m_rcLastLine = *rect;
  }
  return extent;
}

FindSource::Held ScreenModel::VisitShownFrom(std::uint64_t from, std::size_t maxLines,
                                             bool textBeside,
                                             const FindSource::Visitor& visit) const {
  std::lock_guard<std::mutex> lock(m_csLines);
  const std::uint64_t firstNumber = m_lines.FirstNumber();
  const FindSource::Held held{firstNumber, firstNumber + m_lines.size()};
  std::string scratch;
  for (std::uint64_t number = std::max(from, held.nFirst); number < held.nEnd && maxLines > 0;
       ++number, --maxLines) {
    const auto i = static_cast<std::size_t>(number - firstNumber);
    const bool decoded = m_lines.LayoutAt(i).bDecodedText;
    ShowLine(i, textBeside, scratch,
             [&](std::string_view shown, std::size_t) { visit(number, shown, decoded); });
  }
  return held;
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
  for (std::size_t i = 0; i < m_lines.size(); ++i) lines.emplace_back(m_lines[i]);
  return lines;
}

std::vector<std::string> ScreenModel::LineBytes() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  std::vector<std::string> bytes;
  bytes.reserve(m_lines.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) bytes.emplace_back(m_lines.Bytes(i));
  return bytes;
}

std::vector<LineDirection> ScreenModel::LineDirections() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  std::vector<LineDirection> directions;
  directions.reserve(m_lines.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) directions.push_back(m_lines.Direction(i));
  return directions;
}

std::vector<LineTime> ScreenModel::LineTimes() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  std::vector<LineTime> times;
  times.reserve(m_lines.size());
  for (std::size_t i = 0; i < m_lines.size(); ++i) times.push_back(m_lines.TimeAt(i));
  return times;
}

LineRing::Footprint ScreenModel::LineStorage() const {
  std::lock_guard<std::mutex> lock(m_csLines);
  return m_lines.Reserved();
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

}  // namespace tarnwick
