#include "display/text_column.h"

#include <algorithm>

#include "settings/settings.h"

namespace tarnwick {
namespace {

// " -128", " -32768", " -8388608", " -2147483648".
constexpr std::size_t kWidestDec[4] = {5, 7, 9, 12};
// Below four bytes a unit's value is at most 0x00FFFFFF, a positive float
// under 2.4e-38: " 0.000000". At four, " -340282346638528859811704183484516925440.000000".
constexpr std::size_t kWidestShortFloat = 9;
constexpr std::size_t kWidestFloat = 48;

}  // namespace

bool HasTextColumn(std::int32_t format) {
  return format == kFormatHex || format == kFormatBinary || format == kFormatDec ||
         format == kFormatFloat;
}

std::size_t UnitTextWidth(std::int32_t format, int unitLength) {
  const int n = std::clamp(unitLength, 1, 4);
  switch (format) {
    case kFormatHex:
      return 1 + 2 * static_cast<std::size_t>(n);
    case kFormatBinary:
      return 1 + 8 * static_cast<std::size_t>(n);
    case kFormatDec:
      return kWidestDec[n - 1];
    case kFormatFloat:
      return n == 4 ? kWidestFloat : kWidestShortFloat;
    default:
      return 0;
  }
}

std::size_t TextColumnStart(const TextColumnLayout& layout, std::size_t unitsTextLength) {
  std::size_t start = unitsTextLength;
  if (layout.nColumns > 0) {
    const std::size_t full = static_cast<std::size_t>(layout.nColumns) *
                             UnitTextWidth(layout.nFormat, layout.nUnitLength);
    start = std::max(start, full);
  }
  return start + kTextColumnGap;
}

std::size_t WidestWithTextColumn(const TextColumnLayout& layout, std::size_t widestUnits) {
  if (!HasTextColumn(layout.nFormat)) return widestUnits;
  const std::size_t n = static_cast<std::size_t>(std::clamp(layout.nUnitLength, 1, 4));
  // " 0" in DEC, " inf" in FLOAT; HEX and BINARY have one width.
  std::size_t narrowest = UnitTextWidth(layout.nFormat, layout.nUnitLength);
  if (layout.nFormat == kFormatDec) narrowest = 2;
  if (layout.nFormat == kFormatFloat) narrowest = 4;
  return TextColumnStart(layout, widestUnits) + widestUnits / narrowest * n;
}

void AppendWithTextColumn(std::string& out, std::string_view unitsText, std::string_view bytes,
                          const TextColumnLayout& layout) {
  out.append(unitsText);
  if (!HasTextColumn(layout.nFormat)) return;
  out.append(TextColumnStart(layout, unitsText.size()) - unitsText.size(), ' ');
  const std::size_t first = out.size();
  out.resize(first + bytes.size());
  char* p = out.data() + first;
  for (const char c : bytes) *p++ = TextColumnChar(static_cast<std::uint8_t>(c));
}

}  // namespace tarnwick
