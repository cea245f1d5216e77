// Bytes from hex, reads at chosen times, and a sink that keeps what was cut.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "display/read_time.h"
#include "frames/frame.h"

namespace tarnwick::testing {

using Bytes = std::vector<std::uint8_t>;

// "01 03 0A" (blanks optional) as bytes.
inline Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  int high = -1;
  for (const char c : hex) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

inline Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A read ms milliseconds (plus us microseconds) after a fixed start, on both clocks.
inline ReadTime At(std::int64_t ms, std::int64_t us = 0) {
  static const ReadTime kStart{
      std::chrono::system_clock::time_point(std::chrono::seconds(1714564800)),
      std::chrono::steady_clock::time_point(std::chrono::hours(1000))};
  const auto offset = std::chrono::milliseconds(ms) + std::chrono::microseconds(us);
  return {kStart.wall + offset, kStart.steady + offset};
}

inline std::int64_t MsOf(const ReadTime& time) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(time.steady - At(0).steady).count();
}

struct Cut {
  std::string hex;
  FrameCut cut;
  std::int64_t firstMs = 0;
  std::int64_t lastMs = 0;
  std::uint64_t offset = 0;  // not compared: where the bytes lie in the stream
  friend bool operator==(const Cut& a, const Cut& b) {
    return a.hex == b.hex && a.cut == b.cut && a.firstMs == b.firstMs && a.lastMs == b.lastMs;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Cut& cut) {
  return out << '{' << cut.hex << " cut " << static_cast<int>(cut.cut) << " at " << cut.firstMs
             << ".." << cut.lastMs << '}';
}

class CollectingSink : public CutSink {
 public:
  void OnCut(const CutFrame& frame) override {
    cuts.push_back(
        {HexText(frame.bytes), frame.cut, MsOf(frame.first), MsOf(frame.last), frame.nOffset});
  }
  std::vector<Cut> cuts;
};

}  // namespace tarnwick::testing
