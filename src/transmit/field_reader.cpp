#include "transmit/field_reader.h"

#include <algorithm>
#include <limits>

namespace tarnwick {
namespace {

// The white space that scanf skips in the C locale.
bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<std::int32_t> ScanInteger(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() && IsScanSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                      : std::int64_t{std::numeric_limits<std::int32_t>::max()};
  std::int64_t magnitude = 0;
  std::size_t digits = 0;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p, ++digits) {
    // Stays saturated once past the limit; never overflows 64 bits.
    if (magnitude < limit) magnitude = std::min(limit, magnitude * 10 + (text[p] - '0'));
  }
  if (digits == 0) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

FieldReader::FieldReader(MessageBoxes& boxes, std::string_view title)
    : m_boxes(boxes), m_strTitle(title) {}

bool FieldReader::Integer(std::string_view text, std::int32_t& member) {
  const int field = m_nFields++;
  if (Failed()) return false;
  const std::optional<std::int32_t> value = ScanInteger(text);
  if (!value) {
    m_nFailedField = field;
    m_boxes.Show(kEnterAnInteger, m_strTitle, MessageIcon::kWarning);
    return false;
  }
  member = *value;
  return true;
}

}  // namespace tarnwick
