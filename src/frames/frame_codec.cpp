#include "frames/frame_codec.h"

#include <string>

namespace tarnwick {

void AppendPairTime(std::string& out, std::int64_t micros) {
  const std::int64_t tenths = micros < 0 ? 0 : (micros + 50) / 100;
  out += std::to_string(tenths / 10);
  out += '.';
  out += static_cast<char>('0' + tenths % 10);
  out += " ms";
}

}  // namespace tarnwick
