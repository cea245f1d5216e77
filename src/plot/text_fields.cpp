#include "plot/text_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace tarnwick {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAlphaNumeric(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool MayBeInNumber(char c) {
  return IsDigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

}  // namespace

std::string_view PlotLabel(std::string_view text) {
  while (!text.empty() && (text.back() == '=' || text.back() == ':')) text.remove_suffix(1);
  const auto opening = [](char c) { return c == '(' || c == '[' || c == '{' || c == '<'; };
  const auto quote = [](char c) { return c == '"' || c == '\''; };
  while (!text.empty() && (opening(text.front()) || quote(text.front()))) text.remove_prefix(1);
  while (!text.empty() && quote(text.back())) text.remove_suffix(1);
  bool letter = false;
  for (const char c : text) {
    // Printable and no quote: the name goes into the legend and a CSV header as it is.
    if (c <= ' ' || c > '~' || quote(c)) return {};
    letter = letter || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  }
  return letter ? text.substr(0, kMaxPlotNameLength) : std::string_view();
}

NumberParse FindPlotNumber(std::string_view field, double& value, std::string_view* name) {
  const std::size_t n = field.size();
  const auto at = [&](std::size_t i) { return i < n ? field[i] : '\0'; };
  // Where the number starts: a sign, a point or a digit that begins one, not
  // glued to a word or a number before it.
  std::size_t start = 0;
  for (;; ++start) {
    if (start >= n) return NumberParse::kNotANumber;
    const char c = field[start];
    const bool sign = c == '+' || c == '-';
    const std::size_t body = sign ? start + 1 : start;
    const bool begins = IsDigit(at(body)) || (at(body) == '.' && IsDigit(at(body + 1)));
    if (!begins || !(IsDigit(c) || sign || c == '.')) continue;
    if (start > 0 && (IsAlphaNumeric(field[start - 1]) || field[start - 1] == '.' ||
                      field[start - 1] == '+' || field[start - 1] == '-')) {
      return NumberParse::kNotANumber;
    }
    break;
  }
  // from_chars takes a minus sign but no plus sign.
  const std::size_t from = field[start] == '+' ? start + 1 : start;
  double parsed = 0;
  const char* end = field.data() + n;
  const auto [ptr, error] =
      std::from_chars(field.data() + from, end, parsed, std::chars_format::general);
  if (error != std::errc() && error != std::errc::result_out_of_range) {
    return NumberParse::kNotANumber;
  }
  // What follows may be a closing bracket or a unit sign, not more of a word
  // or another number.
  for (const char* p = ptr; p != end; ++p) {
    if (IsDigit(*p) || (p == ptr && IsAlphaNumeric(*p))) return NumberParse::kNotANumber;
  }
  if (error == std::errc::result_out_of_range || !std::isfinite(parsed)) {
    return NumberParse::kOutOfRange;
  }
  value = parsed;
  if (name != nullptr) *name = PlotLabel(field.substr(0, start));
  return NumberParse::kNumber;
}

void TextFieldSplitter::Add(char c) {
  if (IsSeparator(c)) {
    EndField();
    return;
  }
  if (!MayBeInNumber(c)) m_bFieldNumeric = false;
  if (m_nFieldLength < kMaxFieldLength) {
    m_field[m_nFieldLength++] = c;
  } else {
    m_bFieldTooLong = true;
  }
}

void TextFieldSplitter::EndField() {
  if (m_nFieldLength == 0) return;
  const bool inChannel = m_nFieldIndex < kMaxPlotChannels;
  const std::string_view field(m_field.data(), m_nFieldLength);
  double value = 0;
  std::string_view name;
  NumberParse parse = NumberParse::kNotANumber;
  if (m_bFieldTooLong) {
    if (m_bFieldNumeric) parse = NumberParse::kOutOfRange;
  } else {
    parse = FindPlotNumber(field, value, &name);
  }
  if (parse == NumberParse::kOutOfRange) {
    ++m_skipped.nOutOfRange;
  } else if (parse == NumberParse::kNumber) {
    if (inChannel) {
      m_values[m_nFieldIndex] = value;
      KeepName(m_nFieldIndex,
               name.empty() ? std::string_view(m_label.data(), m_nLabelLength) : name);
    } else {
      ++m_skipped.nBeyondChannels;
    }
  }
  // A label of its own ends with '=' or ':' and names the next field only.
  m_nLabelLength = 0;
  if (parse == NumberParse::kNotANumber && !m_bFieldTooLong &&
      (field.back() == '=' || field.back() == ':')) {
    const std::string_view label = PlotLabel(field);
    std::copy(label.begin(), label.end(), m_label.begin());
    m_nLabelLength = label.size();
  }
  if (m_nFieldIndex <= kMaxPlotChannels) ++m_nFieldIndex;
  m_nFieldLength = 0;
  m_bFieldTooLong = false;
  m_bFieldNumeric = true;
}

void TextFieldSplitter::KeepName(std::size_t channel, std::string_view name) {
  std::copy(name.begin(), name.end(), m_names[channel].begin());
  m_nameLengths[channel] = name.size();
}

void TextFieldSplitter::Reset() {
  m_nFieldLength = 0;
  m_bFieldTooLong = false;
  m_bFieldNumeric = true;
  m_nFieldIndex = 0;
  m_values.fill(std::nullopt);
  m_nameLengths.fill(0);
  m_nLabelLength = 0;
  m_skipped = SkipCounts{};
}

}  // namespace tarnwick
