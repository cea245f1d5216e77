#include "frames/modbus_rtu_cutter.h"

#include <algorithm>

#include "frames/modbus_pdu.h"

namespace tarnwick {
namespace {

std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
  return crc;
}

// Whether the last two of length bytes are the CRC of those before, low byte first.
bool CrcAtEnd(std::uint16_t crc, const std::uint8_t* frame, std::size_t length) {
  return frame[length - 2] == (crc & 0xFFu) && frame[length - 1] == (crc >> 8);
}

}  // namespace

ModbusRtuCutter::ModbusRtuCutter(LineDirection direction, bool requestsHere,
                                 std::chrono::microseconds silence)
    : m_direction(direction), m_bRequestsHere(requestsHere), m_silence(silence) {}

bool ModbusRtuCutter::CrcFits(std::size_t at, std::size_t length) const {
  std::uint16_t crc = 0xFFFF;
  const std::uint8_t* frame = m_buf.data() + at;
  for (std::size_t i = 0; i + 2 < length; ++i) crc = Crc16Step(crc, frame[i]);
  return CrcAtEnd(crc, frame, length);
}

ModbusRtuCutter::Found ModbusRtuCutter::FrameAt(std::size_t at, bool scan,
                                                std::size_t& length) const {
  const std::span<const std::uint8_t> head = m_buf.Span(at);
  bool waitLength = false;
  bool unknown = false;
  for (const bool response : {!m_bRequestsHere, m_bRequestsHere}) {
    const ModbusLength implied = ModbusMessageLength(head, response);
    switch (implied.kind) {
      case ModbusLength::Kind::kKnown:
        if (implied.nLength + 2 > head.size()) {
          waitLength = true;
        } else if (CrcFits(at, implied.nLength + 2)) {
          length = implied.nLength + 2;
          return Found::kFrame;
        }
        break;
      case ModbusLength::Kind::kNeedMore:
        waitLength = true;
        break;
      case ModbusLength::Kind::kUnknown:
        unknown = true;
        break;
      case ModbusLength::Kind::kInvalid:
        break;
    }
  }
  if (waitLength) return Found::kWaitLength;
  if (!unknown) return Found::kNone;
  if (!scan) return Found::kWaitUnknown;
  // A function of the device's own: the first length whose CRC fits.
  const std::size_t most = std::min(head.size(), kModbusMaxRtuFrame);
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i + 2 < most; ++i) {
    crc = Crc16Step(crc, head[i]);
    if (i + 3 >= 4 && CrcAtEnd(crc, head.data(), i + 3)) {
      length = i + 3;
      return Found::kFrame;
    }
  }
  return head.size() >= kModbusMaxRtuFrame ? Found::kNone : Found::kWaitUnknown;
}

std::size_t ModbusRtuCutter::NextFrameStart() {
  std::size_t length = 0;
  for (std::size_t at = m_nSearched; at < m_buf.size(); ++at) {
    const Found found = FrameAt(at, false, length);
    if (found == Found::kFrame) return at;
    if (found == Found::kNone && at == m_nSearched) ++m_nSearched;
  }
  return 0;
}

void ModbusRtuCutter::Cut(CutSink& sink) {
  while (!m_buf.empty()) {
    std::size_t length = 0;
    const Found found = FrameAt(0, true, length);
    if (found == Found::kFrame) {
      Emit(length, FrameCut::kComplete, sink);
      continue;
    }
    if (found == Found::kWaitLength) {
      // A silence inside what its length still awaits, and a valid frame
      // after it: the silence was real and the frame before it short.
      std::size_t next = 0;
      if (m_nSilenceAt > 0 && m_nSilenceAt < m_buf.size() &&
          FrameAt(m_nSilenceAt, false, next) == Found::kFrame) {
        Emit(m_nSilenceAt, FrameCut::kIncomplete, sink);
        continue;
      }
      return;
    }
    // Bytes that begin no frame end where the next valid one begins; their
    // CRC fails, and the check says so.
    if (const std::size_t next = NextFrameStart(); next > 0) {
      Emit(next, FrameCut::kComplete, sink);
      continue;
    }
    // Nothing valid in far more than a frame: let the oldest bytes go.
    if (found == Found::kNone && m_buf.size() > 2 * kModbusMaxRtuFrame) {
      Emit(m_buf.size() - kModbusMaxRtuFrame, FrameCut::kComplete, sink);
      continue;
    }
    return;
  }
}

void ModbusRtuCutter::Silence(Clock::duration gap, CutSink& sink) {
  if (m_buf.empty()) return;
  std::size_t length = 0;
  const Found found = FrameAt(0, true, length);
  if (found == Found::kNone) {
    Emit(m_buf.size(), FrameCut::kComplete, sink);
  } else if (gap >= kPatience) {
    Emit(m_buf.size(), FrameCut::kIncomplete, sink);
  } else {
    // Perhaps a late read rather than a pause: the next bytes decide.
    m_nSilenceAt = m_buf.size();
  }
}

void ModbusRtuCutter::Feed(std::span<const std::uint8_t> bytes, const ReadTime& time,
                           CutSink& sink) {
  if (bytes.empty()) return;
  if (m_bHaveRead && time.steady - m_lastRead >= m_silence) Silence(time.steady - m_lastRead, sink);
  m_buf.Append(bytes, time);
  m_bHaveRead = true;
  m_lastRead = time.steady;
  Cut(sink);
}

void ModbusRtuCutter::Tick(Clock::time_point now, CutSink& sink) {
  if (m_bHaveRead && now - m_lastRead >= m_silence) Silence(now - m_lastRead, sink);
}

std::optional<FrameCutter::Clock::time_point> ModbusRtuCutter::TickDue() const {
  if (m_buf.empty()) return std::nullopt;
  if (m_nSilenceAt == m_buf.size()) return m_lastRead + kPatience;
  return m_lastRead + m_silence;
}

void ModbusRtuCutter::Flush(CutSink& sink) { Silence(Clock::duration::max(), sink); }

void ModbusRtuCutter::Emit(std::size_t count, FrameCut cut, CutSink& sink) {
  sink.OnCut(m_buf.Frame(count, m_direction, cut));
  m_buf.Drop(count);
  m_nSilenceAt = m_nSilenceAt > count ? m_nSilenceAt - count : 0;
  m_nSearched = m_nSearched > count + 1 ? m_nSearched - count : 1;
}

}  // namespace tarnwick
