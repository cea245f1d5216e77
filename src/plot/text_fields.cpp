#include "plot/text_fields.h"

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

NumberParse FindPlotNumber(std::string_view field, double& value) {
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
  double value = 0;
  NumberParse parse = NumberParse::kNotANumber;
  if (m_bFieldTooLong) {
    if (m_bFieldNumeric) parse = NumberParse::kOutOfRange;
  } else {
    parse = FindPlotNumber(std::string_view(m_field.data(), m_nFieldLength), value);
  }
  if (parse == NumberParse::kOutOfRange) {
    ++m_skipped.nOutOfRange;
  } else if (parse == NumberParse::kNumber) {
    if (inChannel) {
      m_values[m_nFieldIndex] = value;
    } else {
      ++m_skipped.nBeyondChannels;
    }
  }
  if (m_nFieldIndex <= kMaxPlotChannels) ++m_nFieldIndex;
  m_nFieldLength = 0;
  m_bFieldTooLong = false;
  m_bFieldNumeric = true;
}

void TextFieldSplitter::Reset() {
  m_nFieldLength = 0;
  m_bFieldTooLong = false;
  m_bFieldNumeric = true;
  m_nFieldIndex = 0;
  m_values.fill(std::nullopt);
  m_skipped = SkipCounts{};
}

}  // namespace tarnwick
