#include "transmit/setting_line.h"

#include <charconv>

namespace tarnwick {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Nothing here waits longer than a week; the limit also keeps the arithmetic small.
constexpr std::int64_t kMaxDurationMs = 7LL * 24 * 3600 * 1000;

std::optional<std::int64_t> ParseAmount(std::string_view number, std::string_view unit) {
  std::int64_t scale = 0;
  if (unit == "ms") scale = 1;
  if (unit == "s") scale = 1000;
  if (scale == 0 || number.empty()) return std::nullopt;
  const std::size_t dot = number.find('.');
  const std::string_view whole = number.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : number.substr(dot + 1);
  if (whole.empty() || (dot != std::string_view::npos && fraction.empty())) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), value);
  if (error != std::errc() || end != whole.data() + whole.size()) return std::nullopt;
  if (value > kMaxDurationMs) return std::nullopt;
  value *= scale;
  // A fraction of a second down to the millisecond; milliseconds are whole.
  if (!fraction.empty()) {
    if (scale != 1000 || fraction.size() > 3) return std::nullopt;
    std::int64_t part = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      const char c = i < fraction.size() ? fraction[i] : '0';
      if (c < '0' || c > '9') return std::nullopt;
      part = part * 10 + (c - '0');
    }
    value += part;
  }
  if (value > kMaxDurationMs) return std::nullopt;
  return value;
}

}  // namespace

bool IsOneLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t more = 0;
    std::uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, code = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= text.size()) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = (code << 6) | (d & 0x3F);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return false;
    i += more + 1;
  }
  return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string ReadSettingLine(std::string_view text, SettingLine* line) {
  line->words.clear();
  line->value.clear();
  const std::string_view trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed.front() == '#') return {};
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return "expected a setting: WORDS = VALUE";
  std::string_view left = trimmed.substr(0, equals);
  while (!left.empty()) {
    while (!left.empty() && IsBlank(left.front())) left.remove_prefix(1);
    std::size_t end = 0;
    while (end < left.size() && !IsBlank(left[end])) ++end;
    if (end > 0) line->words.push_back(left.substr(0, end));
    left.remove_prefix(end);
  }
  if (line->words.empty()) return "a setting's name is missing before '='";
  const std::string_view value = Trimmed(trimmed.substr(equals + 1));
  if (value.empty() || value.front() != '"') {
    line->value = value;
    return {};
  }
  if (value.size() < 2 || value.back() != '"') return "a quoted value must end with a quote";
  const std::string_view inside = value.substr(1, value.size() - 2);
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] == '"') {
      if (i + 1 >= inside.size() || inside[i + 1] != '"')
        return "a quote inside a quoted value is written twice";
      ++i;
    }
    line->value += inside[i];
  }
  return {};
}

std::string QuotedValue(std::string_view value) {
  const bool plain =
      !value.empty() && !IsBlank(value.front()) && !IsBlank(value.back()) && value.front() != '"';
  if (plain) return std::string(value);
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::optional<std::int64_t> ReadDuration(const std::vector<std::string_view>& words,
                                         std::size_t* pos) {
  if (*pos >= words.size()) return std::nullopt;
  const std::string_view word = words[*pos];
  std::size_t digits = 0;
  while (digits < word.size() &&
         ((word[digits] >= '0' && word[digits] <= '9') || word[digits] == '.'))
    ++digits;
  if (digits < word.size()) {  // "500ms", "2s"
    const auto ms = ParseAmount(word.substr(0, digits), word.substr(digits));
    if (ms) ++*pos;
    return ms;
  }
  if (*pos + 1 >= words.size()) return std::nullopt;
  const auto ms = ParseAmount(word, words[*pos + 1]);
  if (ms) *pos += 2;
  return ms;
}

std::string DurationText(std::int64_t ms) {
  if (ms != 0 && ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

}  // namespace tarnwick
