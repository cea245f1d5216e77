// One text to send as the send line, its history and the macros keep it: the
// text as typed (UTF-8, one line) and how the transmit parser reads it. The
// words that name a format in the history and macro files live here too.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "transmit/transmit_parser.h"

namespace tarnwick {

// What Enter or a macro appends to ASCII text.
enum class LineEnd : std::uint8_t { kNone, kCr, kLf, kCrLf };

std::string_view LineEndBytes(LineEnd end);

// Turns UTF-8 text into the bytes of the display's text encoding. ASCII
// characters must stay as they are: the "\hh" escapes are read after it.
using TextEncoder = std::function<std::string(std::string_view utf8)>;

struct SendEntry {
  std::string text;
  std::int32_t format = kTxFormatAscii;  // the parser's five formats
  std::int32_t unitLength = 1;           // 1..4 bytes: HEX, BIN, DEC (FLOAT is always 4)
  bool reverse = false;                  // byte order: HEX, BIN, DEC, FLOAT

  // Two entries are equal when they send the same: what does not apply to
  // the format is not compared.
  friend bool operator==(const SendEntry& a, const SendEntry& b);
};

// The entry with what does not apply to its format put to the defaults and
// the unit length kept within 1..4 (4 for FLOAT).
SendEntry Normalized(SendEntry entry);

// "ASCII", "HEX", "BIN", "DEC", "FLOAT"; empty for an index outside the list.
std::string_view FormatName(std::int32_t format);

// The entry's format as the files write it: "ASCII", "HEX 2", "DEC 4
// reversed", "FLOAT reversed"; then the line end ("CR", "LF", "CRLF") when
// one is given and is not none.
std::string FormatWords(const SendEntry& entry, LineEnd end = LineEnd::kNone);

// Reads FormatWords' words back (names in any case, the unit length and
// "reversed" only where they apply). lineEnd null: no line end may be given.
// Empty on success, else the reason.
std::string ReadFormatWords(std::span<const std::string_view> words, SendEntry& entry,
                            LineEnd* lineEnd);

}  // namespace tarnwick
