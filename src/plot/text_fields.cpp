#include "plot/text_fields.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace tarnwick {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool MayBeInNumber(char c) {
  return IsDigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

}  // namespace

NumberParse ParsePlotNumber(std::string_view field, double& value) {
  std::string_view digits = field;
  // from_chars takes a minus sign but no plus sign.
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  const std::string_view unsigned_part =
      !plus && !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
  // Keeps out "inf", "nan", a second sign and an empty field.
  if (unsigned_part.empty()) return NumberParse::kNotANumber;
  const char first = unsigned_part.front();
  if (!IsDigit(first) && !(first == '.' && unsigned_part.size() > 1 && IsDigit(unsigned_part[1]))) {
    return NumberParse::kNotANumber;
  }
  double parsed = 0;
  const char* end = digits.data() + digits.size();
  const auto [ptr, error] = std::from_chars(digits.data(), end, parsed, std::chars_format::general);
  if (ptr != end) return NumberParse::kNotANumber;
  if (error == std::errc::result_out_of_range || !std::isfinite(parsed)) {
    return NumberParse::kOutOfRange;
  }
  if (error != std::errc()) return NumberParse::kNotANumber;
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
  } else if (m_bFieldNumeric) {
    parse = ParsePlotNumber(std::string_view(m_field.data(), m_nFieldLength), value);
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
