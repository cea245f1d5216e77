// A protocol's reading of frames: whether a frame is sound (its checksum, its
// encoding), whether it asks or answers, and what it says. A codec holds no
// state of the stream: pairing is the frames layer's, so a frame held in the
// store can be described again at any time, on any thread, by a shared codec.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "frames/frame.h"

namespace tarnwick {

// A frame as the store keeps it and a codec reads it.
struct FrameView {
  LineDirection direction = LineDirection::kReceived;
  LineTime time = 0;  // wall clock of its first byte, ms since 1970
  std::span<const std::uint8_t> bytes;
  FrameStatus status = FrameStatus::kOk;
  FrameRole role = FrameRole::kNone;
  std::uint64_t nOffset = 0;  // see CutFrame::nOffset
};

// The request a response answers: the time from the end of the request to
// the start of the response, and the request's bytes (empty when the store
// no longer holds them).
struct FramePair {
  std::optional<std::int64_t> micros;
  std::span<const std::uint8_t> request;
};

class FrameCodec {
 public:
  virtual ~FrameCodec() = default;

  // The protocol's name, as the CSV's protocol column and --frames give it.
  virtual std::string_view Name() const = 0;
  // The status of a frame the cutter ended as cut said.
  virtual FrameStatus Check(std::span<const std::uint8_t> bytes, FrameCut cut) const = 0;
  // A sound frame's role: its direction's (byDirection) unless its contents
  // say otherwise; kNone for a protocol without requests and responses.
  virtual FrameRole RoleOf(std::span<const std::uint8_t> bytes, FrameRole byDirection) const = 0;
  // A response pairs with the last unanswered request of the same key.
  virtual std::uint32_t PairKey(std::span<const std::uint8_t> bytes) const = 0;
  // out is cleared first; fields are filled for sound frames only, a bad
  // frame gets what can be told without trusting its contents.
  virtual void Describe(const FrameView& frame, const FramePair& pair,
                        FrameDescription& out) const = 0;
};

// "4.2 ms": a pair's time as summaries show it.
void AppendPairTime(std::string& out, std::int64_t micros);

}  // namespace tarnwick
