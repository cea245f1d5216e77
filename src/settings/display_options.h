// Options of the display that the settings record has no room for: they live
// in the user's profile, off by default, and with all of them off the screen,
// the clipboard and both logs are exactly what they are without them.
// Following the newest line is the one on by default: it changes no file and
// nothing copied, only which lines are in sight.
#pragma once

#include <cstdint>

namespace tarnwick {

// The longest pause the option takes: a day. Anything longer would never end
// a line in practice, and the limit keeps the value well inside int32.
inline constexpr std::int32_t kMaxPauseBreakMs = 86'400'000;

// How a line's arrival time is written.
enum class TimestampStyle : std::int32_t {
  kTime = 0,         // "HH:MM:SS.mmm"
  kDateAndTime = 1,  // ISO 8601 local time, "YYYY-MM-DDTHH:MM:SS.mmm"
};

// Which bytes end a line in TEXT line mode.
enum LineEndsMode : std::int32_t {
  kLineEndsCr = 0,   // CR ends a line, LF is dropped
  kLineEndsAny = 1,  // CR, LF or CR LF each end one line
};

// A profile value outside the modes reads as the first one.
inline std::int32_t CorrectLineEnds(long long value) {
  return value == kLineEndsAny ? kLineEndsAny : kLineEndsCr;
}

// How TEXT turns bytes into characters. The code page is the default and
// the settings record's behaviour; the others decode TEXT in 1-byte units.
enum class TextEncoding : std::int32_t {
  kCp1252 = 0,
  kUtf8 = 1,
  kIso8859_1 = 2,
  kCp437 = 3,
};

// How TEXT shows control characters (C0, DEL and C1).
enum class ControlCharacters : std::int32_t {
  kAsIs = 0,      // through the code page, as the default draws them
  kPictures = 1,  // Unicode control pictures; a TAB runs to the next multiple of 8 columns
  kEscapes = 2,   // "\x00" text in a dimmed style
};

struct DisplayOptions {
  // Each line's arrival time in a gutter left of it.
  bool bShowTimestamps = false;
  // The same time, and one blank, before each line of the text log and of Copy All.
  bool bTimestampsInLog = false;
  // A new line when this many milliseconds pass between two reads that
  // brought bytes; 0 is off.
  std::int32_t nPauseBreakMs = 0;
  // The gutter's and the text log's arrival times.
  TimestampStyle timestampStyle = TimestampStyle::kTime;
  // Both logs start a new file once the open one holds this many bytes (0:
  // no limit) and/or at local midnight; see display/log_rotation.h.
  std::int64_t nRotateBytes = 0;
  bool bRotateDaily = false;
  // The view keeps the newest line in sight while it is at the end.
  bool bFollowNewLines = true;
  // HEX, BINARY, DEC and FLOAT lines show the characters of their bytes after the units.
  bool bTextBesideUnits = false;
  // TEXT line mode: 0, a CR ends a line; 1, a CR, a LF or CR LF does (LineEndsMode).
  std::int32_t nLineEnds = 0;
  // Every line of the text log ends with CR LF.
  bool bTextLogLineEnds = false;
  // TEXT: the encoding, SGR colours and attributes (other escape sequences
  // are read and not shown), and how control characters look.
  TextEncoding textEncoding = TextEncoding::kCp1252;
  bool bAnsiColours = false;
  ControlCharacters controlCharacters = ControlCharacters::kAsIs;
  // The text log keeps the escape sequences that the screen does not show.
  bool bTextLogKeepsEscapes = false;

  // Whether TEXT goes through the decoding stage at all.
  bool DecodesText() const {
    return textEncoding != TextEncoding::kCp1252 || bAnsiColours ||
           controlCharacters != ControlCharacters::kAsIs;
  }

  friend bool operator==(const DisplayOptions&, const DisplayOptions&) = default;
};

// A style from a hand-edited profile: anything unknown is the time only.
inline TimestampStyle CorrectTimestampStyle(std::int64_t value) {
  return value == 1 ? TimestampStyle::kDateAndTime : TimestampStyle::kTime;
}

// A pause from a hand-edited profile: below 0 is off, beyond a day is a day.
inline std::int32_t CorrectPauseBreakMs(std::int64_t ms) {
  if (ms < 0) return 0;
  return ms > kMaxPauseBreakMs ? kMaxPauseBreakMs : static_cast<std::int32_t>(ms);
}

}  // namespace tarnwick
