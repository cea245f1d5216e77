// Frames cut by rules (see frame_rules.h), one direction's bytes at a time.
//
// - Bytes before a start pattern belong to no frame: they go out as an
//   incomplete frame when the start comes, so nothing heard is lost.
// - Without an end pattern or length, the next start pattern ends a frame;
//   with an end pattern, a start seen before the end cuts the frame short
//   (incomplete) and begins the next one.
// - A length rule ends a frame at its length; the field is read as soon as
//   its bytes are in.
// - A silence ends a frame at the read after it, or at a Tick; the frame is
//   whole when no other rule awaited more, incomplete otherwise.
// - A frame past the maximum is cut there and marked too long, and so is the
//   rest of it, up to the point its rules end it.
// - Empty frames (delimiters with nothing between) are not frames.
#pragma once

#include "frames/frame_cutter.h"
#include "frames/frame_rules.h"

namespace tarnwick {

class RuleFramer : public FrameCutter {
 public:
  RuleFramer(const FrameRules& rules, LineDirection direction);

  void Feed(std::span<const std::uint8_t> bytes, const ReadTime& time, CutSink& sink) override;
  void Tick(Clock::time_point now, CutSink& sink) override;
  std::optional<Clock::time_point> TickDue() const override;
  void Flush(CutSink& sink) override;

 private:
  void Take(CutSink& sink);
  bool TakeInFrame(CutSink& sink);
  // The length of the start pattern the held bytes end with (0: none), one
  // that begins at or after from.
  std::size_t StartAtEnd(std::size_t from) const;
  bool EndsWith(const BytePattern& pattern) const;
  // The whole frame's length from its length field.
  std::size_t LengthFromField() const;
  void Emit(std::size_t count, FrameCut cut, CutSink& sink);
  // The frame ends here: the next one begins afresh.
  void EmitFrame(std::size_t count, FrameCut cut, CutSink& sink);
  void EndHeld(CutSink& sink);
  void StartFrame(std::size_t startLength);

  FrameRules m_rules;
  LineDirection m_direction;
  std::size_t m_nLongestStart = 0;
  FrameBuffer m_buf;
  bool m_bHunting = false;         // start patterns are set and this frame's is not seen yet
  std::size_t m_nStartLength = 0;  // bytes of the pattern this frame began with
  std::size_t m_nExpected = 0;     // the frame's whole length once known, 0 before
  std::size_t m_nCutAway = 0;      // bytes of this frame already cut as too long
  bool m_bHaveRead = false;
  Clock::time_point m_lastRead;
};

}  // namespace tarnwick
