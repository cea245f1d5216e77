#include "transmit/send_entry.h"

#include <array>
#include <cctype>

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, 5> kFormatNames = {"ASCII", "HEX", "BIN", "DEC", "FLOAT"};
constexpr std::array<std::string_view, 4> kLineEndNames = {"", "CR", "LF", "CRLF"};

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool HasUnits(std::int32_t format) {
  return format == kTxFormatHex || format == kTxFormatBin || format == kTxFormatDec;
}

}  // namespace

std::string_view LineEndBytes(LineEnd end) {
  switch (end) {
    case LineEnd::kCr:
      return "\r";
    case LineEnd::kLf:
      return "\n";
    case LineEnd::kCrLf:
      return "\r\n";
    case LineEnd::kNone:
      break;
  }
  return {};
}

SendEntry Normalized(SendEntry entry) {
  if (entry.format == kTxFormatFloat) {
    entry.unitLength = 4;
  } else if (HasUnits(entry.format)) {
    entry.unitLength = entry.unitLength < 1 ? 1 : entry.unitLength > 4 ? 4 : entry.unitLength;
  } else {
    entry.unitLength = 1;
    entry.reverse = false;
  }
  return entry;
}

bool operator==(const SendEntry& a, const SendEntry& b) {
  const SendEntry x = Normalized(a);
  const SendEntry y = Normalized(b);
  return x.text == y.text && x.format == y.format && x.unitLength == y.unitLength &&
         x.reverse == y.reverse;
}

std::string_view FormatName(std::int32_t format) {
  if (format < 0 || format >= static_cast<std::int32_t>(kFormatNames.size())) return {};
  return kFormatNames[static_cast<std::size_t>(format)];
}

std::string FormatWords(const SendEntry& entry, LineEnd end) {
  const SendEntry e = Normalized(entry);
  std::string words(FormatName(e.format));
  if (HasUnits(e.format)) words += ' ' + std::to_string(e.unitLength);
  if (e.reverse) words += " reversed";
  if (e.format == kTxFormatAscii && end != LineEnd::kNone) {
    words += ' ';
    words += kLineEndNames[static_cast<std::size_t>(end)];
  }
  return words;
}

std::string ReadFormatWords(std::span<const std::string_view> words, SendEntry& entry,
                            LineEnd* lineEnd) {
  if (words.empty()) return "the format is missing (ASCII, HEX, BIN, DEC or FLOAT)";
  std::int32_t format = -1;
  for (std::size_t i = 0; i < kFormatNames.size(); ++i) {
    if (SameWord(words[0], kFormatNames[i])) format = static_cast<std::int32_t>(i);
  }
  if (format < 0)
    return "unknown format \"" + std::string(words[0]) + "\" (ASCII, HEX, BIN, DEC or FLOAT)";
  std::int32_t unitLength = format == kTxFormatFloat ? 4 : 1;
  bool reverse = false;
  LineEnd end = LineEnd::kNone;
  std::size_t i = 1;
  if (i < words.size() && words[i].size() == 1 && words[i][0] >= '1' && words[i][0] <= '4') {
    const int unit = words[i][0] - '0';
    if (!HasUnits(format) && !(format == kTxFormatFloat && unit == 4))
      return "a unit length does not apply to " + std::string(kFormatNames[format]);
    unitLength = unit;
    ++i;
  }
  if (i < words.size() && SameWord(words[i], "reversed")) {
    if (format == kTxFormatAscii) return "\"reversed\" does not apply to ASCII";
    reverse = true;
    ++i;
  }
  if (i < words.size() && lineEnd != nullptr) {
    for (std::size_t e = 1; e < kLineEndNames.size(); ++e) {
      if (SameWord(words[i], kLineEndNames[e])) {
        if (format != kTxFormatAscii) return "a line end is appended to ASCII text only";
        end = static_cast<LineEnd>(e);
        ++i;
        break;
      }
    }
  }
  if (i < words.size()) return "unexpected \"" + std::string(words[i]) + "\" after the format";
  entry.format = format;
  entry.unitLength = unitLength;
  entry.reverse = reverse;
  if (lineEnd != nullptr) *lineEnd = end;
  return {};
}

}  // namespace tarnwick
