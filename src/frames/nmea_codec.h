// NMEA 0183 sentences: '$' or '!', the talker and sentence type, fields
// separated by commas, then '*', two hex digits (the XOR of every character
// between the start and the '*') and CR LF. A sentence without '*hh' is
// sound but has "no checksum".
#pragma once

#include "frames/frame_codec.h"

namespace tarnwick {

class NmeaCodec : public FrameCodec {
 public:
  std::string_view Name() const override { return "nmea"; }
  FrameStatus Check(std::span<const std::uint8_t> bytes, FrameCut cut) const override;
  FrameRole RoleOf(std::span<const std::uint8_t>, FrameRole) const override {
    return FrameRole::kNone;
  }
  std::uint32_t PairKey(std::span<const std::uint8_t>) const override { return 0; }
  // address: the talker ("GP", "P" for a maker's own sentence); function: the
  // sentence type ("GGA"); values: the fields, blank-separated, an empty
  // field as an empty place ("a  c" for "a,,c").
  void Describe(const FrameView& frame, const FramePair& pair,
                FrameDescription& out) const override;
};

}  // namespace tarnwick
