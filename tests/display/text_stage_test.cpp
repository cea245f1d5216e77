// TEXT through the text stage, as the screen model places it: UTF-8 with its
// state kept across reads, escape sequences, control characters and the code
// pages. Every case is fed split at every byte boundary between two reads
// (long ones at a few), and each must leave the same lines, styles and count
// of invalid bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace tarnwick {
namespace {

std::string ColourText(std::uint32_t c) {
  char text[16];
  if ((c & colour::kKindMask) == colour::kRgb) {
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(c & 0xFFFFFF));
  } else {
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(c & 0xFF));
  }
  return text;
}

// A style as the cases write it: "fg1 bg2 BDIUR" and "!" for an invalid
// byte, "^" for a control character shown as text; "" for plain.
std::string Describe(const TextStyle& s) {
  std::string d;
  if (s.nForeground != colour::kDefault) d += "fg" + ColourText(s.nForeground);
  if (s.nBackground != colour::kDefault)
    d += (d.empty() ? "bg" : " bg") + ColourText(s.nBackground);
  std::string flags;
  const char* letters = "BDIUR!^";
  for (int bit = 0; bit < 7; ++bit) {
    if (s.nFlags & (1u << bit)) flags += letters[bit];
  }
  if (!flags.empty()) d += (d.empty() ? "" : " ") + flags;
  return d;
}

// The lines, '|' between them, with "<style>" where a style run begins.
std::string Shown(ScreenModel& model) {
  std::string out;
  model.VisitShownRows(0, 1000, false,
                       [&](const ScreenModel::ShownRow& row) {
                         if (row.nIndex > 0) out += '|';
                         std::size_t at = 0;
                         for (std::size_t i = 0; i < StyleRunCount(row.styles); ++i) {
                           const StyleRun run = StyleRunAt(row.styles, i);
                           out.append(row.text.substr(at, run.nStart - at));
                           out += "<" + Describe(run.style) + ">";
                           at = run.nStart;
                         }
                         out.append(row.text.substr(at));
                       },
                       {});
  return out;
}

struct Case {
  const char* name;
  std::string received;
  std::string shown;
  std::uint64_t invalid = 0;
  std::int32_t columns = 0;  // 0: line mode, CR ends a line
};

DisplayOptions Options(TextEncoding encoding, bool ansi, ControlCharacters controls) {
  DisplayOptions options;
  options.textEncoding = encoding;
  options.bAnsiColours = ansi;
  options.controlCharacters = controls;
  return options;
}

void ExpectEverySplit(const Case& c, const DisplayOptions& options) {
  const std::size_t n = c.received.size();
  const std::size_t step = n > 200 ? n / 7 : 1;
  for (std::size_t split = 0; split <= n; split += step) {
    SETTINGS settings = DefaultSettings();
    settings.nColumns = c.columns;
    settings.nRows = 50;
    LiveSettings live(settings, options);
    ScreenModel model(live, nullptr);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.received.data());
    model.AddReceivedBytes(bytes, split);
    model.AddReceivedBytes(bytes + split, n - split);
    ASSERT_EQ(Shown(model), c.shown) << c.name << ", split at " << split;
    ASSERT_EQ(model.InvalidCount(), c.invalid) << c.name << ", split at " << split;
  }
}

TEST(TextStage, DecodesUtf8WholeAcrossReadsAndShowsEachInvalidByte) {
  const Case cases[] = {
      {"ASCII", "abc", "abc"},
      {"two-byte letters", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"three bytes", "\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},
      {"four bytes", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!"},
      {"the last code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
      {"a continuation byte alone",
       "a\x80"
       "b",
       "a<!>\\x80<>b", 1},
      {"cut short by ASCII",
       "\xE2\x82"
       "A",
       "<!>\\xE2\\x82<>A", 1},
      {"cut short by another lead", "\xE2\xC3\xA9", "<!>\\xE2<>\xC3\xA9", 1},
      {"cut short by the line's end",
       "\xF0\x9F\x98\r"
       "x",
       "<!>\\xF0\\x9F\\x98|x", 1},
      {"overlong two bytes",
       "\xC0\xAF"
       "a",
       "<!>\\xC0\\xAF<>a", 2},
      {"overlong three bytes", "\xE0\x80\xAF", "<!>\\xE0\\x80\\xAF", 3},
      {"overlong four bytes", "\xF0\x8F\xBF\xBF", "<!>\\xF0\\x8F\\xBF\\xBF", 4},
      {"a surrogate",
       "\xED\xA0\x80"
       "z",
       "<!>\\xED\\xA0\\x80<>z", 3},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "<!>\\xF4\\x90\\x80\\x80", 4},
      {"bytes no sequence starts with", "\xF5\xFF\xFE", "<!>\\xF5\\xFF\\xFE", 3},
      {"left open at the end", "ok\xE2\x82", "ok", 0},
  };
  for (const Case& c : cases) {
    ExpectEverySplit(c, Options(TextEncoding::kUtf8, false, ControlCharacters::kAsIs));
  }
}

TEST(TextStage, ReadsEscapeSequencesAndShowsOnlyTheirColours) {
  const std::string longCsi = "\x1B[" + std::string(62, '1');
  std::string longCsiShown = "<!>\\x1B\\x5B";
  for (int i = 0; i < 62; ++i) longCsiShown += "\\x31";
  const std::string longOsc = "\x1B]" + std::string(4094, 'a');
  std::string longOscShown = "<!>\\x1B\\x5D";
  for (int i = 0; i < 4094; ++i) longOscShown += "\\x61";
  const Case cases[] = {
      {"a colour and its reset", "\x1B[31mERROR\x1B[0m ok", "<fg1>ERROR<> ok"},
      {"bright, background, default", "\x1B[91;42mx\x1B[39my\x1B[49mz", "<fg9 bg2>x<bg2>y<>z"},
      {"256 colours", "\x1B[38;5;208mx\x1B[48;5;17my", "<fg208>x<fg208 bg17>y"},
      {"24-bit colour", "\x1B[38;2;255;128;0mx", "<fg#ff8000>x"},
      {"24-bit with colons", "\x1B[38:2::10:20:30mx\x1B[38:5:4my", "<fg#0a141e>x<fg4>y"},
      {"out of range: no colour", "\x1B[38;5;300mx\x1B[38;2;1;2;999my", "xy"},
      {"attributes on and off", "\x1B[1;2;3;4;7mx\x1B[22;23;24;27my", "<BDIUR>x<>y"},
      {"an empty SGR resets", "\x1B[1mx\x1B[my", "<B>x<>y"},
      {"colour carries over line ends", "\x1B[32mA\r\nB\x1B[0m\r\nC", "<fg2>A|<fg2>B|C"},
      {"other CSI read and not shown", "a\x1B[2Jb\x1B[10;20Hc\x1B[?25ld", "abcd"},
      {"a private SGR is not a style", "\x1B[>4;1mx", "x"},
      {"OSC ended by BEL",
       "a\x1B]0;title\x07"
       "b",
       "ab"},
      {"OSC ended by ESC \\", "a\x1B]2;t\xC3\xA9\x1B\\b", "ab"},
      {"two-byte and charset escapes",
       "a\x1B=b\x1B>c\x1B"
       "7d\x1B(Be",
       "abcde"},
      {"a lone ESC before a sequence", "\x1B\x1B[31mx", "<!>\\x1B<fg1>x", 1},
      {"a control ends a CSI", "\x1B[3\x01x", "<!>\\x1B\\x5B\\x33<>\x01x", 1},
      {"a line end inside a CSI", "\x1B[3\rx", "<!>\\x1B\\x5B\\x33|x", 1},
      {"a CSI of 64 bytes is whole", "\x1B[" + std::string(61, '0') + "mx", "x"},
      {"longer is malformed", longCsi + "mX", longCsiShown + "<>mX", 1},
      {"an OSC past 4 KiB is malformed", longOsc + "Z", longOscShown + "<>Z", 1},
      {"the style reaches invalid bytes", "\x1B[34m\x80", "<fg4 !>\\x80", 1},
  };
  for (const Case& c : cases) {
    ExpectEverySplit(c, Options(TextEncoding::kUtf8, true, ControlCharacters::kAsIs));
  }
}

TEST(TextStage, ShowsControlCharactersAndCodePagesAsAsked) {
  const struct {
    Case c;
    DisplayOptions options;
  } cases[] = {
      {{"pictures", std::string("\x1B\x00\x7F\x02", 4),
        "\xE2\x90\x9B\xE2\x90\x80\xE2\x90\xA1\xE2\x90\x82"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kPictures)},
      {{"a tab runs to the next multiple of 8 cells", "\xE4\xB8\xAD\tx\tab\tc",
        "\xE4\xB8\xAD      x       ab      c"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kPictures)},
      {{"escapes, dimmed", "a\tb\x1B", "a<^>\\x09<>b<^>\\x1B"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kEscapes)},
      {{"C1 has no picture", "\xC2\x85", "<^>\\x85"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kPictures)},
      {{"line ends of line mode are not shown", "a\r\nb", "a|b"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kPictures)},
      {{"with columns CR and LF are characters", "a\r\nb",
        "a\xE2\x90\x8D\xE2\x90\x8A"
        "b",
        0, 80},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kPictures)},
      {{"as-is keeps the character",
        "a\x1B"
        "b",
        "a\x1B"
        "b"},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kAsIs)},
      {{"cp437", "\xB0\xC9\xCD\x81", "\xE2\x96\x91\xE2\x95\x94\xE2\x95\x90\xC3\xBC"},
       Options(TextEncoding::kCp437, false, ControlCharacters::kAsIs)},
      {{"ISO-8859-1", "caf\xE9 \xA4", "caf\xC3\xA9 \xC2\xA4"},
       Options(TextEncoding::kIso8859_1, false, ControlCharacters::kAsIs)},
      {{"cp1252 with colours keeps its characters", "\x1B[1m\x80\x93",
        "<B>\xE2\x82\xAC\xE2\x80\x9C"},
       Options(TextEncoding::kCp1252, true, ControlCharacters::kAsIs)},
      {{"a character stays on the line of its first byte",
        "ab\xE2\x82\xAC"
        "cdef",
        "ab\xE2\x82\xAC|cdef", 0, 4},
       Options(TextEncoding::kUtf8, false, ControlCharacters::kAsIs)},
      {{"and so does an escape sequence", "abc\x1B[1mdefg", "abc|<B>defg", 0, 4},
       Options(TextEncoding::kUtf8, true, ControlCharacters::kAsIs)},
  };
  for (const auto& c : cases) ExpectEverySplit(c.c, c.options);
}

}  // namespace
}  // namespace tarnwick
