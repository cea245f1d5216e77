// Which bytes end a line in TEXT line mode (TEXT with no column count). As
// the settings record knows it a CR ends a line and a LF is dropped; with the
// "CR, LF or CR LF" choice a LF ends a line too, unless it follows a CR, also
// when the two came in different reads. The state lives as long as the stream.
#pragma once

#include <cstdint>

#include "settings/display_options.h"

namespace tarnwick {

class LineEndRule {
 public:
  enum class Byte {
    kText,     // shown as a character
    kEndLine,  // ends the line; shows nothing
    kDropped,  // a LF that shows nothing and ends nothing
  };

  // One byte of TEXT line mode, in arrival order.
  Byte Next(std::uint8_t b, std::int32_t mode) {
    const bool afterCr = m_bAfterCr;
    m_bAfterCr = b == kCr;
    if (b == kCr) return Byte::kEndLine;
    if (b != kLf) return Byte::kText;
    return mode == kLineEndsAny && !afterCr ? Byte::kEndLine : Byte::kDropped;
  }
  // A byte that did not pass through line mode (another format) breaks a
  // CR LF pair.
  void Interrupt() { m_bAfterCr = false; }

 private:
  static constexpr std::uint8_t kCr = 0x0D;
  static constexpr std::uint8_t kLf = 0x0A;
  bool m_bAfterCr = false;
};

}  // namespace tarnwick
