#include "frames/byte_stuffing.h"

namespace tarnwick {

bool DecodeCobs(std::span<const std::uint8_t> encoded, std::vector<std::uint8_t>& out) {
  out.clear();
  std::size_t at = 0;
  while (at < encoded.size()) {
    // A code byte n: n - 1 data bytes follow, then a zero unless n is 0xFF
    // or the frame ends.
    const std::uint8_t code = encoded[at++];
    if (code == 0) return false;
    for (std::uint8_t i = 1; i < code; ++i) {
      if (at == encoded.size() || encoded[at] == 0) return false;
      out.push_back(encoded[at++]);
    }
    if (code != 0xFF && at < encoded.size()) out.push_back(0);
  }
  return true;
}

bool DecodeSlip(std::span<const std::uint8_t> encoded, std::vector<std::uint8_t>& out) {
  constexpr std::uint8_t kEnd = 0xC0, kEsc = 0xDB, kEscEnd = 0xDC, kEscEsc = 0xDD;
  out.clear();
  for (std::size_t at = 0; at < encoded.size(); ++at) {
    const std::uint8_t b = encoded[at];
    if (b == kEnd) return false;
    if (b != kEsc) {
      out.push_back(b);
      continue;
    }
    if (++at == encoded.size()) return false;
    if (encoded[at] == kEscEnd) {
      out.push_back(kEnd);
    } else if (encoded[at] == kEscEsc) {
      out.push_back(kEsc);
    } else {
      return false;  // RFC 1055 leaves it to the receiver; it is no valid escape
    }
  }
  return true;
}

}  // namespace tarnwick
