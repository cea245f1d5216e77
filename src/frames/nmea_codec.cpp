#include "frames/nmea_codec.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The sentence's parts: between the start and '*' (or the line end), and the
// two characters after '*' (none when there is no '*').
struct Sentence {
  std::string_view body;
  std::string_view check;
  bool hasStar = false;
};

Sentence Split(Bytes bytes) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  Sentence sentence;
  if (text.empty()) return sentence;
  text.remove_prefix(1);  // '$' or '!'
  const std::size_t star = text.rfind('*');
  if (star == std::string_view::npos) {
    sentence.body = text;
    return sentence;
  }
  sentence.body = text.substr(0, star);
  sentence.check = text.substr(star + 1);
  sentence.hasStar = true;
  return sentence;
}

std::uint8_t XorOf(std::string_view body) {
  std::uint8_t sum = 0;
  for (const char c : body) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

}  // namespace

FrameStatus NmeaCodec::Check(Bytes bytes, FrameCut cut) const {
  if (cut == FrameCut::kTooLong) return FrameStatus::kTooLong;
  if (cut == FrameCut::kIncomplete || bytes.empty() || (bytes[0] != '$' && bytes[0] != '!'))
    return FrameStatus::kIncomplete;
  const Sentence sentence = Split(bytes);
  if (!sentence.hasStar) return FrameStatus::kNoChecksum;
  if (sentence.check.size() != 2) return FrameStatus::kBadChecksum;
  const int high = HexDigit(static_cast<std::uint8_t>(sentence.check[0]));
  const int low = HexDigit(static_cast<std::uint8_t>(sentence.check[1]));
  if (high < 0 || low < 0 || XorOf(sentence.body) != high * 16 + low)
    return FrameStatus::kBadChecksum;
  return FrameStatus::kOk;
}

void NmeaCodec::Describe(const FrameView& frame, const FramePair&, FrameDescription& out) const {
  out.Clear();
  if (frame.bytes.empty() || (frame.bytes[0] != '$' && frame.bytes[0] != '!')) {
    out.summary = std::to_string(frame.bytes.size()) + " bytes outside a sentence";
    return;
  }
  const Sentence sentence = Split(frame.bytes);
  const std::size_t comma = sentence.body.find(',');
  const std::string_view name = sentence.body.substr(0, comma);
  // A maker's own sentence is 'P' and the rest; others have a two-letter talker.
  const std::size_t talkerLength = !name.empty() && name[0] == 'P' ? 1 : 2;
  out.address = std::string(name.substr(0, std::min(talkerLength, name.size())));
  out.function = std::string(name.substr(std::min(talkerLength, name.size())));
  out.Add("Talker", out.address);
  out.Add("Sentence", out.function);

  std::string_view rest =
      comma == std::string_view::npos ? std::string_view() : sentence.body.substr(comma + 1);
  std::size_t number = 0;
  if (comma != std::string_view::npos) {
    for (;;) {
      const std::size_t next = rest.find(',');
      const std::string_view field = rest.substr(0, next);
      if (number > 0) out.values += ' ';
      out.values.append(field);
      out.Add("Field " + std::to_string(++number), field);
      if (next == std::string_view::npos) break;
      rest.remove_prefix(next + 1);
    }
  }
  if (sentence.hasStar) {
    char computed[4];
    std::snprintf(computed, sizeof computed, "%02X", XorOf(sentence.body));
    std::string check(sentence.check);
    if (frame.status == FrameStatus::kBadChecksum) check += std::string(", computed ") + computed;
    out.Add("Checksum", check);
  }

  // "GP GGA 123519,4807.038,N": the fields as sent, cut where they grow long.
  constexpr std::size_t kShownFields = 60;
  const std::string_view fields =
      comma == std::string_view::npos ? std::string_view() : sentence.body.substr(comma + 1);
  out.summary = out.address + ' ' + out.function;
  if (!fields.empty()) {
    out.summary += ' ';
    out.summary.append(fields.substr(0, kShownFields));
    if (fields.size() > kShownFields) out.summary += "...";
  }
}

}  // namespace tarnwick
