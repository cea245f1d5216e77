// The line format of the send history and macro files, made to be read,
// diffed and edited by hand: "WORDS = VALUE". The words before '=' are split
// at spaces and tabs; the value is the rest of the line with the spaces
// around it trimmed, or, when it must keep them (or is empty, or begins with
// a quote), written between double quotes with each quote inside doubled.
// Blank lines and lines whose first character is '#' are comments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct SettingLine {
  std::vector<std::string_view> words;  // at least one
  std::string value;
};

// Empty on success (*line filled), else the reason. A comment or blank line
// gives success with no words.
std::string ReadSettingLine(std::string_view text, SettingLine* line);

// value as ReadSettingLine reads it back; it must hold no line break.
std::string QuotedValue(std::string_view value);

// Whether text can be a value: no line break and no NUL.
bool IsOneLine(std::string_view text);

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsUtf8(std::string_view text);

// The lines of a file (LF or CR LF), numbered from 1 by their position.
std::vector<std::string_view> SplitLines(std::string_view text);

// Milliseconds written "500 ms", "2 s" or "1.5 s" (the unit may touch the
// number). Reads from words[*pos] on and moves *pos past what it took; empty
// on a word that is no duration.
std::optional<std::int64_t> ReadDuration(const std::vector<std::string_view>& words,
                                         std::size_t* pos);
// "N s" for whole seconds, else "N ms".
std::string DurationText(std::int64_t ms);

}  // namespace tarnwick
