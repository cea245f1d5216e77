#include "frames/rule_framer.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

RuleFramer::RuleFramer(const FrameRules& rules, LineDirection direction)
    : m_rules(rules), m_direction(direction) {
  for (const BytePattern& start : m_rules.starts)
    m_nLongestStart = std::max(m_nLongestStart, start.size());
  StartFrame(0);
  m_bHunting = !m_rules.starts.empty();
}

void RuleFramer::StartFrame(std::size_t startLength) {
  m_bHunting = false;
  m_nStartLength = startLength;
  m_nExpected = static_cast<std::size_t>(m_rules.nFixedLength);
  m_nCutAway = 0;
}

void RuleFramer::Feed(std::span<const std::uint8_t> bytes, const ReadTime& time, CutSink& sink) {
  if (bytes.empty()) return;
  if (m_bHaveRead && m_rules.silence.count() > 0 && time.steady - m_lastRead >= m_rules.silence)
    EndHeld(sink);
  m_buf.BeginRead(time);
  for (const std::uint8_t b : bytes) {
    m_buf.Push(b);
    Take(sink);
  }
  m_bHaveRead = true;
  m_lastRead = time.steady;
}

void RuleFramer::Tick(Clock::time_point now, CutSink& sink) {
  if (m_bHaveRead && m_rules.silence.count() > 0 && now - m_lastRead >= m_rules.silence)
    EndHeld(sink);
}

std::optional<FrameCutter::Clock::time_point> RuleFramer::TickDue() const {
  if (m_rules.silence.count() == 0 || m_buf.empty()) return std::nullopt;
  return m_lastRead + m_rules.silence;
}

void RuleFramer::Flush(CutSink& sink) { EndHeld(sink); }

void RuleFramer::Take(CutSink& sink) {
  if (!m_bHunting) {
    TakeInFrame(sink);
    return;
  }
  const std::size_t held = m_buf.size();
  if (const std::size_t start = StartAtEnd(0); start > 0) {
    Emit(held - start, FrameCut::kIncomplete, sink);  // bytes outside any frame
    StartFrame(start);
    TakeInFrame(sink);
    return;
  }
  // Keep what could still begin a start pattern; the rest is no frame's.
  const std::size_t limit = std::max(static_cast<std::size_t>(m_rules.nMaxLength), m_nLongestStart);
  if (held >= limit) Emit(held - (m_nLongestStart - 1), FrameCut::kIncomplete, sink);
}

bool RuleFramer::TakeInFrame(CutSink& sink) {
  const std::size_t held = m_buf.size();
  const std::size_t at = m_nCutAway + held;  // the frame's length so far
  const std::uint8_t last = m_buf[held - 1];
  const FrameCut whole = m_nCutAway > 0 ? FrameCut::kTooLong : FrameCut::kComplete;

  if (m_rules.encoding != FrameEncoding::kNone) {
    const std::uint8_t delimiter = m_rules.encoding == FrameEncoding::kCobs ? 0x00 : 0xC0;
    if (last != delimiter) {
      if (held >= static_cast<std::size_t>(m_rules.nMaxLength)) {
        Emit(held, FrameCut::kTooLong, sink);
        m_nCutAway = at;
      }
      return false;
    }
    if (at == 1) {
      m_buf.Drop(1);  // a delimiter right after another: no frame
      return false;
    }
    EmitFrame(held, whole, sink);
    return true;
  }

  const LengthField& field = m_rules.length;
  if (field.nSize > 0 && m_nExpected == 0 &&
      at == static_cast<std::size_t>(field.nOffset + field.nSize)) {
    const std::int64_t length = static_cast<std::int64_t>(LengthFromField());
    if (length < static_cast<std::int64_t>(at)) {
      // A length shorter than the bytes that give it: the frame is garbled.
      EmitFrame(held, FrameCut::kIncomplete, sink);
      return true;
    }
    m_nExpected = static_cast<std::size_t>(length);
  }
  if (m_nExpected > 0 && at >= m_nExpected) {
    EmitFrame(held, whole, sink);
    return true;
  }
  const BytePattern& end = m_rules.end;
  if (!end.empty() && at >= m_nStartLength + end.size() && EndsWith(end)) {
    if (at == m_nStartLength + end.size()) {
      m_buf.Drop(held);  // delimiters with nothing between
      StartFrame(0);
      m_bHunting = !m_rules.starts.empty();
      return false;
    }
    EmitFrame(held, whole, sink);
    return true;
  }
  if (!m_rules.starts.empty() && !m_rules.HasLengthRule()) {
    const std::size_t from = m_nCutAway > 0 ? 0 : m_nStartLength;
    if (const std::size_t start = StartAtEnd(from); start > 0) {
      const std::size_t body = held - start;
      if (body == m_nStartLength && m_nCutAway == 0 && end.empty()) {
        m_buf.Drop(body);  // a start right after a start: no frame between
      } else {
        // Without an end pattern the next start ends a frame; with one, it
        // cuts this frame short.
        Emit(body,
             m_nCutAway > 0 ? FrameCut::kTooLong
             : end.empty()  ? FrameCut::kComplete
                            : FrameCut::kIncomplete,
             sink);
      }
      StartFrame(start);
      return true;
    }
  }
  if (held >= static_cast<std::size_t>(m_rules.nMaxLength)) {
    Emit(held, FrameCut::kTooLong, sink);
    m_nCutAway = at;
  }
  return false;
}

std::size_t RuleFramer::StartAtEnd(std::size_t from) const {
  const std::size_t held = m_buf.size();
  std::size_t found = 0;
  for (const BytePattern& start : m_rules.starts) {
    if (held - from < start.size() || start.size() <= found) continue;
    if (std::memcmp(m_buf.data() + held - start.size(), start.data(), start.size()) == 0)
      found = start.size();
  }
  return found;
}

bool RuleFramer::EndsWith(const BytePattern& pattern) const {
  const std::size_t held = m_buf.size();
  return held >= pattern.size() &&
         std::memcmp(m_buf.data() + held - pattern.size(), pattern.data(), pattern.size()) == 0;
}

std::size_t RuleFramer::LengthFromField() const {
  const LengthField& field = m_rules.length;
  std::uint64_t value = 0;
  for (int i = 0; i < field.nSize; ++i) {
    const int index = field.bBigEndian ? i : field.nSize - 1 - i;
    value = (value << 8) | m_buf[static_cast<std::size_t>(field.nOffset + index)];
  }
  const std::int64_t fieldEnd = field.nOffset + field.nSize;
  std::int64_t length = static_cast<std::int64_t>(value) + field.nAdjust;
  switch (field.counts) {
    case LengthCounts::kRest:
      length += fieldEnd;
      break;
    case LengthCounts::kPayload:
      length += fieldEnd + ChecksumWidth(m_rules.checksum.kind) + m_rules.checksum.nTrailer;
      break;
    case LengthCounts::kFrame:
      break;
  }
  return length < 0 ? 0 : static_cast<std::size_t>(length);
}

void RuleFramer::Emit(std::size_t count, FrameCut cut, CutSink& sink) {
  if (count == 0) return;
  sink.OnCut(m_buf.Frame(count, m_direction, cut));
  m_buf.Drop(count);
}

void RuleFramer::EmitFrame(std::size_t count, FrameCut cut, CutSink& sink) {
  Emit(count, cut, sink);
  StartFrame(0);
  m_bHunting = !m_rules.starts.empty();
}

void RuleFramer::EndHeld(CutSink& sink) {
  const std::size_t held = m_buf.size();
  FrameCut cut = FrameCut::kComplete;
  if (m_bHunting || held == m_nStartLength) {
    cut = FrameCut::kIncomplete;
  } else if (m_nCutAway > 0) {
    cut = FrameCut::kTooLong;
  } else if (m_rules.encoding != FrameEncoding::kNone || !m_rules.end.empty() ||
             m_rules.HasLengthRule()) {
    cut = FrameCut::kIncomplete;  // its own rule would have ended it
  }
  EmitFrame(held, cut, sink);
}

}  // namespace tarnwick
