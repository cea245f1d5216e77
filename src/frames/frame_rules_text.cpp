#include "frames/frame_rules_text.h"

#include <charconv>
#include <set>
#include <vector>

namespace tarnwick {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendPattern(std::string& out, const BytePattern& pattern) {
  for (const std::uint8_t b : pattern) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
}

void AppendByte(std::string& out, std::uint8_t b) { AppendPattern(out, {b}); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<BytePattern> ParsePattern(std::string_view text) {
  if (text.empty() || text.size() % 2 != 0) return std::nullopt;
  BytePattern pattern;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    pattern.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return pattern;
}

std::optional<int> ParseInt(std::string_view text, bool allowNegative) {
  if (text.empty() || (!allowNegative && text[0] == '-')) return std::nullopt;
  if (text[0] == '+') text.remove_prefix(1);
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<bool> ParseFlag(std::string_view text) {
  if (text == "0") return false;
  if (text == "1") return true;
  return std::nullopt;
}

std::optional<bool> ParseOrder(std::string_view text) {
  if (text == "be") return true;
  if (text == "le") return false;
  return std::nullopt;
}

std::string_view OrderText(bool bigEndian) { return bigEndian ? "be" : "le"; }

constexpr std::string_view kCounts[] = {"rest", "payload", "frame"};
constexpr std::string_view kEncodings[] = {"none", "cobs", "slip"};

void Put(std::string& out, std::string_view key, std::string_view value) {
  if (!out.empty()) out += ' ';
  out.append(key).append("=").append(value);
}

void PutInt(std::string& out, std::string_view key, long long value) {
  Put(out, key, std::to_string(value));
}

// One KEY=VALUE applied to rules; false when the value does not read.
bool Apply(FrameRules& rules, bool& orderGiven, std::string_view key, std::string_view value) {
  auto intInto = [&](int& field, bool negative = false) {
    const auto parsed = ParseInt(value, negative);
    if (parsed) field = *parsed;
    return parsed.has_value();
  };
  auto byteInto = [&](std::uint8_t& field) {
    const auto parsed = ParsePattern(value);
    if (!parsed || parsed->size() != 1) return false;
    field = (*parsed)[0];
    return true;
  };
  auto flagInto = [&](bool& field) {
    const auto parsed = ParseFlag(value);
    if (parsed) field = *parsed;
    return parsed.has_value();
  };
  Crc8Params& crc8 = rules.checksum.crc8;
  if (key == "start") {
    std::size_t from = 0;
    for (;;) {
      const std::size_t bar = value.find('|', from);
      const auto pattern = ParsePattern(value.substr(from, bar - from));
      if (!pattern) return false;
      rules.starts.push_back(*pattern);
      if (bar == std::string_view::npos) return true;
      from = bar + 1;
    }
  }
  if (key == "end") {
    const auto pattern = ParsePattern(value);
    if (pattern) rules.end = *pattern;
    return pattern.has_value();
  }
  if (key == "fixed") return intInto(rules.nFixedLength);
  if (key == "length-at") return intInto(rules.length.nOffset);
  if (key == "length-size") return intInto(rules.length.nSize);
  if (key == "length-adjust") return intInto(rules.length.nAdjust, true);
  if (key == "length-order") {
    const auto order = ParseOrder(value);
    if (order) rules.length.bBigEndian = *order;
    return order.has_value();
  }
  if (key == "length-counts") {
    for (std::size_t i = 0; i < std::size(kCounts); ++i) {
      if (value == kCounts[i]) {
        rules.length.counts = static_cast<LengthCounts>(i);
        return true;
      }
    }
    return false;
  }
  if (key == "silence-ms") {
    int ms = 0;
    if (!intInto(ms)) return false;
    rules.silence = std::chrono::milliseconds(ms);
    return true;
  }
  if (key == "encoding") {
    for (std::size_t i = 0; i < std::size(kEncodings); ++i) {
      if (value == kEncodings[i]) {
        rules.encoding = static_cast<FrameEncoding>(i);
        return true;
      }
    }
    return false;
  }
  if (key == "max") return intInto(rules.nMaxLength);
  if (key == "check") {
    const auto kind = ChecksumFromName(value);
    if (kind) rules.checksum.kind = *kind;
    return kind.has_value();
  }
  if (key == "check-from") return intInto(rules.checksum.nFrom);
  if (key == "check-trailer") return intInto(rules.checksum.nTrailer);
  if (key == "check-order") {
    const auto order = ParseOrder(value);
    if (order) rules.checksum.bBigEndian = *order;
    orderGiven = true;
    return order.has_value();
  }
  if (key == "crc8-poly") return byteInto(crc8.nPoly);
  if (key == "crc8-init") return byteInto(crc8.nInit);
  if (key == "crc8-xorout") return byteInto(crc8.nXorOut);
  if (key == "crc8-refin") return flagInto(crc8.bRefIn);
  if (key == "crc8-refout") return flagInto(crc8.bRefOut);
  return false;
}

constexpr std::string_view kKeys[] = {
    "start",        "end",           "fixed",         "length-at",     "length-size",
    "length-order", "length-counts", "length-adjust", "silence-ms",    "encoding",
    "max",          "check",         "check-from",    "check-trailer", "check-order",
    "crc8-poly",    "crc8-init",     "crc8-refin",    "crc8-refout",   "crc8-xorout"};

bool KnownKey(std::string_view key) {
  for (const std::string_view known : kKeys) {
    if (key == known) return true;
  }
  return false;
}

}  // namespace

std::string FrameRulesText(const FrameRules& rules) {
  const FrameRules defaults;
  std::string out;
  if (!rules.starts.empty()) {
    std::string starts;
    for (const BytePattern& start : rules.starts) {
      if (!starts.empty()) starts += '|';
      AppendPattern(starts, start);
    }
    Put(out, "start", starts);
  }
  if (!rules.end.empty()) {
    std::string end;
    AppendPattern(end, rules.end);
    Put(out, "end", end);
  }
  if (rules.nFixedLength != 0) PutInt(out, "fixed", rules.nFixedLength);
  const LengthField& field = rules.length;
  if (field.nSize != 0) {
    PutInt(out, "length-at", field.nOffset);
    PutInt(out, "length-size", field.nSize);
    if (!field.bBigEndian) Put(out, "length-order", OrderText(false));
    if (field.counts != LengthCounts::kRest)
      Put(out, "length-counts", kCounts[static_cast<std::size_t>(field.counts)]);
    if (field.nAdjust != 0) PutInt(out, "length-adjust", field.nAdjust);
  }
  if (rules.silence.count() != 0)
    PutInt(out, "silence-ms",
           std::chrono::duration_cast<std::chrono::milliseconds>(rules.silence).count());
  if (rules.encoding != FrameEncoding::kNone)
    Put(out, "encoding", kEncodings[static_cast<std::size_t>(rules.encoding)]);
  if (rules.nMaxLength != defaults.nMaxLength) PutInt(out, "max", rules.nMaxLength);
  const ChecksumSpec& check = rules.checksum;
  if (check.kind != ChecksumKind::kNone) {
    Put(out, "check", ChecksumName(check.kind));
    if (check.nFrom != 0) PutInt(out, "check-from", check.nFrom);
    if (check.nTrailer != 0) PutInt(out, "check-trailer", check.nTrailer);
    if (check.bBigEndian != NaturalBigEndian(check.kind))
      Put(out, "check-order", OrderText(check.bBigEndian));
    if (check.kind == ChecksumKind::kCrc8 && check.crc8 != Crc8Params{}) {
      std::string byte;
      const Crc8Params& crc8 = check.crc8;
      for (const auto& [key, value] :
           {std::pair<std::string_view, std::uint8_t>{"crc8-poly", crc8.nPoly},
            {"crc8-init", crc8.nInit},
            {"crc8-xorout", crc8.nXorOut}}) {
        byte.clear();
        AppendByte(byte, value);
        Put(out, key, byte);
      }
      Put(out, "crc8-refin", crc8.bRefIn ? "1" : "0");
      Put(out, "crc8-refout", crc8.bRefOut ? "1" : "0");
    }
  }
  return out;
}

ParsedFrameRules ParseFrameRules(std::string_view text) {
  FrameRules rules;
  bool orderGiven = false;
  std::set<std::string_view> seen;
  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at == text.size()) break;
    std::size_t stop = at;
    while (stop < text.size() && text[stop] != ' ' && text[stop] != '\t') ++stop;
    const std::string_view pair = text.substr(at, stop - at);
    at = stop;
    const std::size_t equals = pair.find('=');
    const std::string_view key = pair.substr(0, equals);
    if (!KnownKey(key)) return {std::nullopt, "Unknown frame rule \"" + std::string(key) + "\"."};
    if (!seen.insert(key).second)
      return {std::nullopt, "The rule \"" + std::string(key) + "\" is given twice."};
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
    if (!Apply(rules, orderGiven, key, value))
      return {std::nullopt,
              "Bad value \"" + std::string(value) + "\" for \"" + std::string(key) + "\"."};
  }
  if (!orderGiven) rules.checksum.bBigEndian = NaturalBigEndian(rules.checksum.kind);
  if (std::string problem = RulesProblem(rules); !problem.empty())
    return {std::nullopt, std::move(problem)};
  return {std::move(rules), {}};
}

}  // namespace tarnwick
