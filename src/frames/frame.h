// A frame: one message cut out of one direction's bytes, with the times of
// the reads that brought its first and last byte, and what checking found.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/read_time.h"
#include "display/screen_observer.h"

namespace tarnwick {

// The order is the one the filter and the store use; texts are the CSV's.
enum class FrameStatus : std::uint8_t {
  kOk,
  kBadChecksum,
  kNoChecksum,
  kBadEncoding,
  kTooLong,
  kIncomplete,
};
inline constexpr int kFrameStatusCount = 6;

// "ok", "bad checksum", "no checksum", "bad encoding", "too long", "incomplete".
std::string_view FrameStatusText(FrameStatus status);
// Counted as bad frames: everything but ok and a sentence sent without a checksum.
inline bool IsBadFrame(FrameStatus status) {
  return status != FrameStatus::kOk && status != FrameStatus::kNoChecksum;
}

// How the framer ended a frame, before any check of its contents.
enum class FrameCut : std::uint8_t {
  kComplete,    // its rule ended it: a delimiter, its length, a silence
  kIncomplete,  // cut short: a silence or a new start before its end, bytes outside any frame
  kTooLong,     // it grew past the maximum (a part of it)
};

// Whether a frame asks or answers, for pairing.
enum class FrameRole : std::uint8_t { kNone, kRequest, kResponse };

// A frame just cut: its bytes are valid during the call that hands it over.
struct CutFrame {
  LineDirection direction = LineDirection::kReceived;
  ReadTime first;  // the read that brought its first byte
  ReadTime last;   // the read that brought its last byte
  std::span<const std::uint8_t> bytes;
  FrameCut cut = FrameCut::kComplete;
  // Bytes of its direction before its first, since the cutter began: where
  // the view finds it among the bytes it shows.
  std::uint64_t nOffset = 0;
};

class CutSink {
 public:
  virtual ~CutSink() = default;
  virtual void OnCut(const CutFrame& frame) = 0;
};

// One line of a frame's detail: "Function", "3 Read Holding Registers".
struct FrameField {
  std::string name;
  std::string value;
  friend bool operator==(const FrameField&, const FrameField&) = default;
};

// What a protocol reads in a frame. The CSV's columns address, function and
// values are empty where the protocol has none; values are separated by
// single spaces.
struct FrameDescription {
  std::string summary;
  std::string address;
  std::string function;
  std::string values;
  std::vector<FrameField> fields;

  // Keeps the strings' storage for the next frame.
  void Clear();
  void Add(std::string_view name, std::string_view value);
};

// Upper-case hex pairs separated by single spaces: "01 03 00 6B".
void AppendHex(std::string& out, std::span<const std::uint8_t> bytes);
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace tarnwick
