// What cuts one direction's bytes into frames: the rule framer, or Modbus
// RTU's own cutter. Each read's bytes are fed in order with the read's time;
// frames go to the sink as they complete.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "display/read_time.h"
#include "frames/frame.h"

namespace tarnwick {

class FrameCutter {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~FrameCutter() = default;

  // One read's bytes; a silence since the previous read is measured first.
  virtual void Feed(std::span<const std::uint8_t> bytes, const ReadTime& time, CutSink& sink) = 0;
  // Nothing was read until now: ends what a silence ends.
  virtual void Tick(Clock::time_point now, CutSink& sink) = 0;
  // When a Tick could end something held; nothing when no silence is awaited.
  virtual std::optional<Clock::time_point> TickDue() const = 0;
  // The stream ends (the port closes): what is held goes out, marked incomplete
  // unless its rule says it is whole.
  virtual void Flush(CutSink& sink) = 0;
};

// Bytes held until they make a frame, with the read that brought each.
class FrameBuffer {
 public:
  // The bytes appended next came with the read at time.
  void BeginRead(const ReadTime& time);
  void Push(std::uint8_t b) { m_bytes.push_back(b); }
  void Append(std::span<const std::uint8_t> bytes, const ReadTime& time);

  std::size_t size() const { return m_bytes.size(); }
  bool empty() const { return m_bytes.empty(); }
  const std::uint8_t* data() const { return m_bytes.data(); }
  std::uint8_t operator[](std::size_t i) const { return m_bytes[i]; }
  std::span<const std::uint8_t> Span(std::size_t from = 0) const {
    return std::span<const std::uint8_t>(m_bytes).subspan(from);
  }
  // The read that brought byte i.
  const ReadTime& TimeOf(std::size_t i) const;
  // The first count bytes as a frame of direction.
  CutFrame Frame(std::size_t count, LineDirection direction, FrameCut cut) const;
  // The first count bytes are gone.
  void Drop(std::size_t count);
  void Clear();
  // Bytes dropped since the buffer began: where byte 0 lies in the stream.
  std::uint64_t Offset() const { return m_nDropped; }

 private:
  struct Mark {
    std::size_t nAt;  // the first byte of the read
    ReadTime time;
  };
  std::vector<std::uint8_t> m_bytes;
  std::vector<Mark> m_marks;
  std::uint64_t m_nDropped = 0;
};

}  // namespace tarnwick
