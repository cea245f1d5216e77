#include "plot/sample_extractor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "display/unit_formatter.h"

namespace tarnwick {
namespace {

constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;

}  // namespace

void SampleExtractor::Resync(const ScreenModel::StreamPosition& position) {
  m_nUnitFill = std::clamp(position.nUnitFill, 0, 3);
  std::memcpy(m_unitBytes, position.unitBytes, sizeof m_unitBytes);
  m_nUnitsOnLine = std::max<std::int32_t>(0, position.nUnitsOnLine);
  m_bLineShowsText = position.bLastLineShowsText;
  m_fields.Reset();
  // A line already begun (units on it) is text half seen.
  m_bTextLineOpen = m_nUnitsOnLine > 0;
  m_bTextLineWhole = false;
}

void SampleExtractor::Take(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                           const SETTINGS& settings, const DisplayOptions& options,
                           std::vector<Sample>& out, SkipCounts& skipped) {
  if (length == 0) return;
  const Layout layout = ScreenModel::ReadUnitSettings(settings);
  // When the unit length shrank below the bytes held, the next byte
  // completes the unit, as on the screen (m_unitBytes has room for it).
  m_arrival.SetPauseMs(options.nPauseBreakMs);
  m_arrival.BeginBatch(time, data, length, m_nUnitFill, layout.nUnitLength);
  std::size_t nextBreak = m_arrival.NextBreak();
  for (std::size_t i = 0; i < length; ++i) {
    m_unitBytes[m_nUnitFill++] = data[i];
    if (m_nUnitFill < layout.nUnitLength) continue;
    m_nUnitFill = 0;
    const bool afterPause = i == nextBreak;
    if (afterPause) {
      m_arrival.TakeBreak();
      nextBreak = m_arrival.NextBreak();
    }
    m_arrival.ReachUnit(data + i);
    TakeUnit(layout, data[i], afterPause, out, skipped);
  }
}

// The screen model's line rules, unit by unit: a line ends when it holds
// nColumns units (every unit has its own line when that is negative), after
// a pause, and in line mode at CR; LF there shows nothing.
void SampleExtractor::TakeUnit(const Layout& layout, std::uint8_t last, bool afterPause,
                               std::vector<Sample>& out, SkipCounts& skipped) {
  const bool lineEnd = layout.bLineMode && last == kCarriageReturn;
  const bool pauseBreak = afterPause && m_nUnitsOnLine > 0 && m_bLineShowsText && !lineEnd;
  if (pauseBreak || (layout.nColumns != 0 && m_nUnitsOnLine >= layout.nColumns)) {
    m_nUnitsOnLine = 0;
  }
  if (m_nUnitsOnLine == 0) {
    if (m_bTextLineOpen) EndTextLine(out, skipped);
    m_bTextLineOpen = true;
    m_bTextLineWhole = true;
    m_bLineShowsText = false;
    m_lineTime = m_arrival.UnitTime();
  }

  if (layout.nFormat == kFormatText) {
    if (lineEnd) {
      EndTextLine(out, skipped);
      m_nUnitsOnLine = 0;
      return;
    }
    if (!(layout.bLineMode && last == kLineFeed)) {
      // A line a LF began takes the time of its first text, as on the screen.
      if (!m_bLineShowsText) m_lineTime = m_arrival.UnitTime();
      m_fields.Add(static_cast<char>(last));
      m_bLineShowsText = true;
    }
  } else {
    TakeNumber(layout, out, skipped);
    m_bLineShowsText = true;
  }
  if (m_nUnitsOnLine < INT32_MAX) ++m_nUnitsOnLine;
  // A line that is full is complete now; the next unit would only confirm it.
  if (layout.nFormat == kFormatText && layout.nColumns > 0 && m_nUnitsOnLine >= layout.nColumns) {
    EndTextLine(out, skipped);
  }
}

void SampleExtractor::TakeNumber(const Layout& layout, std::vector<Sample>& out,
                                 SkipCounts& skipped) {
  if (layout.nFormat < kFormatHex || layout.nFormat > kFormatFloat) return;  // "Unknown Format"
  if (m_nUnitsOnLine >= kMaxPlotChannels) {
    ++skipped.nBeyondChannels;
    return;
  }
  const std::uint32_t bits = UnitValue(m_unitBytes, layout.nUnitLength, layout.bReverse);
  double value = 0;
  switch (layout.nFormat) {
    case kFormatDec:
      value = SignExtendUnit(bits, layout.nUnitLength);
      break;
    case kFormatFloat:
      value = std::bit_cast<float>(bits);
      if (!std::isfinite(value)) {
        ++skipped.nNotFinite;
        return;
      }
      break;
    default:  // HEX and BINARY: the unsigned value
      value = bits;
      break;
  }
  out.push_back(Sample{static_cast<std::uint8_t>(m_nUnitsOnLine), value, m_arrival.UnitTime()});
}

void SampleExtractor::EndTextLine(std::vector<Sample>& out, SkipCounts& skipped) {
  if (m_bTextLineOpen && m_bTextLineWhole) {
    m_fields.EndLine(
        [&](int channel, double value) {
          out.push_back(Sample{static_cast<std::uint8_t>(channel), value, m_lineTime});
        },
        skipped);
  } else {
    m_fields.Reset();
  }
  m_bTextLineOpen = false;
  m_bTextLineWhole = false;
}

}  // namespace tarnwick
