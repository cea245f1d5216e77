// The rules that cut one direction's bytes into frames, and the check a
// frame carries. Rules combine: a start pattern with an end pattern or a
// length, a silence with anything; COBS and SLIP delimit frames themselves.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "frames/checksum.h"

namespace tarnwick {

using BytePattern = std::vector<std::uint8_t>;

// A frame grows at most this long before it is cut and marked too long.
inline constexpr int kDefaultMaxFrameLength = 4096;
inline constexpr int kLargestMaxFrameLength = 1 << 20;
inline constexpr int kLongestPattern = 16;
inline constexpr int kMostStartPatterns = 8;
inline constexpr int kLongestSilenceMs = 60'000;

// How COBS or SLIP delimit frames: 0x00 ends a COBS frame, 0xC0 (END) a SLIP one.
enum class FrameEncoding : std::uint8_t { kNone, kCobs, kSlip };

// What a length field counts.
enum class LengthCounts : std::uint8_t {
  kRest,     // the bytes after the field
  kPayload,  // the bytes after the field, before the check and its trailer
  kFrame,    // the whole frame, start pattern included
};

struct LengthField {
  int nOffset = 0;  // from the frame's first byte, the start pattern included
  int nSize = 0;    // 1, 2 or 4; 0: no length field
  bool bBigEndian = true;
  LengthCounts counts = LengthCounts::kRest;
  int nAdjust = 0;  // added to the length the field gives
  friend bool operator==(const LengthField&, const LengthField&) = default;
};

struct FrameRules {
  // A frame begins with one of these (none: it begins after the last one ended).
  std::vector<BytePattern> starts;
  // A frame ends with this (empty: its length or a silence ends it).
  BytePattern end;
  int nFixedLength = 0;  // 0: none
  LengthField length;
  // A pause this long between two reads ends a frame (0: none).
  std::chrono::microseconds silence{0};
  FrameEncoding encoding = FrameEncoding::kNone;
  int nMaxLength = kDefaultMaxFrameLength;
  ChecksumSpec checksum;

  bool HasLengthRule() const { return nFixedLength > 0 || length.nSize > 0; }
  friend bool operator==(const FrameRules&, const FrameRules&) = default;
};

// Empty when the rules can cut frames; otherwise, in a sentence, what is wrong.
std::string RulesProblem(const FrameRules& rules);

}  // namespace tarnwick
