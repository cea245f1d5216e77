#include "frames/payload_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "frames/byte_stuffing.h"

namespace tarnwick {
namespace {

using Bytes = std::span<const std::uint8_t>;

// Bytes of the payload a summary shows before "...".
constexpr std::size_t kShownBytes = 16;

}  // namespace

PayloadCodec::PayloadCodec(std::string name, const FrameRules& rules)
    : m_strName(std::move(name)), m_rules(rules) {}

bool PayloadCodec::Content(Bytes bytes, std::vector<std::uint8_t>& decoded, Bytes& content) const {
  if (m_rules.encoding == FrameEncoding::kNone) {
    content = bytes;
    return true;
  }
  const std::uint8_t delimiter = m_rules.encoding == FrameEncoding::kCobs ? 0x00 : 0xC0;
  const Bytes encoded =
      !bytes.empty() && bytes.back() == delimiter ? bytes.first(bytes.size() - 1) : bytes;
  const bool ok = m_rules.encoding == FrameEncoding::kCobs ? DecodeCobs(encoded, decoded)
                                                           : DecodeSlip(encoded, decoded);
  content = decoded;
  return ok;
}

Bytes PayloadCodec::Payload(Bytes content) const {
  std::size_t begin = 0;
  std::size_t end = content.size();
  for (const BytePattern& start : m_rules.starts) {
    if (content.size() >= start.size() &&
        std::memcmp(content.data(), start.data(), start.size()) == 0) {
      begin = std::max(begin, start.size());
    }
  }
  if (m_rules.length.nSize > 0)
    begin =
        std::max(begin, static_cast<std::size_t>(m_rules.length.nOffset + m_rules.length.nSize));
  // The check and what follows it (the end pattern, counted in its
  // trailer), or else the end pattern, close the payload.
  const std::size_t check = static_cast<std::size_t>(ChecksumWidth(m_rules.checksum.kind));
  const BytePattern& stop = m_rules.end;
  if (check > 0) {
    const std::size_t tail = check + static_cast<std::size_t>(m_rules.checksum.nTrailer);
    end = end >= tail ? end - tail : 0;
  } else if (!stop.empty() && end >= stop.size() &&
             std::memcmp(content.data() + end - stop.size(), stop.data(), stop.size()) == 0) {
    end -= stop.size();
  }
  return begin < end ? content.subspan(begin, end - begin) : Bytes();
}

FrameStatus PayloadCodec::Check(Bytes bytes, FrameCut cut) const {
  if (cut == FrameCut::kTooLong) return FrameStatus::kTooLong;
  if (cut == FrameCut::kIncomplete) return FrameStatus::kIncomplete;
  std::vector<std::uint8_t> decoded;
  Bytes content;
  if (!Content(bytes, decoded, content)) return FrameStatus::kBadEncoding;
  switch (VerifyChecksum(m_rules.checksum, content)) {
    case ChecksumResult::kNone:
    case ChecksumResult::kOk:
      return FrameStatus::kOk;
    case ChecksumResult::kBad:
      return FrameStatus::kBadChecksum;
    case ChecksumResult::kShort:
      return FrameStatus::kIncomplete;
  }
  return FrameStatus::kOk;
}

void PayloadCodec::Describe(const FrameView& frame, const FramePair& pair,
                            FrameDescription& out) const {
  out.Clear();
  std::vector<std::uint8_t> decoded;
  Bytes content;
  const bool decodes = Content(frame.bytes, decoded, content);
  const bool whole = frame.status == FrameStatus::kOk || frame.status == FrameStatus::kBadChecksum;
  out.Add("Length", std::to_string(frame.bytes.size()));
  if (!decodes || !whole) {
    out.summary = std::to_string(frame.bytes.size()) + " bytes";
    return;
  }
  const Bytes payload = Payload(content);
  out.summary = std::to_string(payload.size()) + (payload.size() == 1 ? " byte" : " bytes");
  if (!payload.empty()) {
    out.summary += ": ";
    AppendHex(out.summary, payload.first(std::min(payload.size(), kShownBytes)));
    if (payload.size() > kShownBytes) out.summary += " ...";
  }
  if (frame.status == FrameStatus::kOk) {
    AppendHex(out.values, payload);
    out.Add("Payload", out.values);
  }
  if (m_rules.encoding != FrameEncoding::kNone) out.Add("Decoded", HexText(content));
  if (pair.micros) {
    out.summary += ", ";
    AppendPairTime(out.summary, *pair.micros);
    std::string time;
    AppendPairTime(time, *pair.micros);
    out.Add("Response time", time);
  }
}

}  // namespace tarnwick
