// Modbus RTU frames out of one direction's bytes. The line's silence of 3.5
// characters ends a frame, but read times show it only where reads keep pace
// with the line: a USB adapter, a network port or a busy machine hands over
// several frames in one read, or one frame in two reads far apart. So a
// frame is first found by the length its function implies and a valid CRC,
// wherever it lies; a silence only ends what no length can complete, and
// bytes that begin no valid frame go out on their own (their CRC fails)
// once the next valid frame or a silence shows where they end.
#pragma once

#include <chrono>

#include "frames/frame_cutter.h"

namespace tarnwick {

class ModbusRtuCutter : public FrameCutter {
 public:
  // A frame that a silence interrupts may still be completed by a late read;
  // after this long without a byte it goes out incomplete.
  static constexpr std::chrono::milliseconds kPatience{500};

  // requestsHere: this direction carries requests, so a frame that reads
  // both ways is read as a request first.
  ModbusRtuCutter(LineDirection direction, bool requestsHere, std::chrono::microseconds silence);

  void Feed(std::span<const std::uint8_t> bytes, const ReadTime& time, CutSink& sink) override;
  void Tick(Clock::time_point now, CutSink& sink) override;
  std::optional<Clock::time_point> TickDue() const override;
  void Flush(CutSink& sink) override;

 private:
  enum class Found {
    kFrame,        // a whole frame with a valid CRC: length
    kWaitLength,   // its function's length is not all there yet
    kWaitUnknown,  // a function without a length of its own, no valid CRC yet
    kNone,         // no frame begins here, whatever comes
  };
  // Whether a valid frame begins at byte at, and its length. scan: for a
  // function without a length, try every length for a valid CRC.
  Found FrameAt(std::size_t at, bool scan, std::size_t& length) const;
  bool CrcFits(std::size_t at, std::size_t length) const;
  void Cut(CutSink& sink);
  // Where the next valid frame begins after the first byte (0: none yet).
  std::size_t NextFrameStart();
  // A silence of this long follows the held bytes.
  void Silence(Clock::duration gap, CutSink& sink);
  void Emit(std::size_t count, FrameCut cut, CutSink& sink);

  LineDirection m_direction;
  bool m_bRequestsHere;
  std::chrono::microseconds m_silence;
  FrameBuffer m_buf;
  // A silence came after this many held bytes (0: none since the first).
  std::size_t m_nSilenceAt = 0;
  // Positions below this begin no frame, whatever comes (at least 1).
  std::size_t m_nSearched = 1;
  bool m_bHaveRead = false;
  Clock::time_point m_lastRead;
};

}  // namespace tarnwick
