#include "frames/frame.h"

namespace tarnwick {

std::string_view FrameStatusText(FrameStatus status) {
  switch (status) {
    case FrameStatus::kOk:
      return "ok";
    case FrameStatus::kBadChecksum:
      return "bad checksum";
    case FrameStatus::kNoChecksum:
      return "no checksum";
    case FrameStatus::kBadEncoding:
      return "bad encoding";
    case FrameStatus::kTooLong:
      return "too long";
    case FrameStatus::kIncomplete:
      return "incomplete";
  }
  return "incomplete";
}

void FrameDescription::Clear() {
  summary.clear();
  address.clear();
  function.clear();
  values.clear();
  fields.clear();
}

void FrameDescription::Add(std::string_view name, std::string_view value) {
  fields.push_back({std::string(name), std::string(value)});
}

void AppendHex(std::string& out, std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
}

std::string HexText(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  AppendHex(text, bytes);
  return text;
}

}  // namespace tarnwick
