// Splits a text line into fields as it arrives, character by character, and
// keeps the numbers among the first kMaxPlotChannels fields. Fields are
// separated by runs of commas, semicolons, tabs, blanks and line-end
// characters. Memory stays bounded whatever the line's length.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "plot/plot_sample.h"

namespace tarnwick {

enum class NumberParse { kNumber, kNotANumber, kOutOfRange };

// The number in a field, as people write one beside a label or in brackets
// ("temp=22", "(10)", "x:1.5e3", "-7"): optional sign, digits with an
// optional decimal point, optional exponent. It must be the field's only
// number and not glued to letters or digits ("abc12", "0x1F", "12:30:45" and
// "1.2.3" hold none); "inf" and "nan" are not numbers.
NumberParse FindPlotNumber(std::string_view field, double& value);

class TextFieldSplitter {
 public:
  // Longer fields are never numbers anyone meant to plot: they are read no
  // further (a run of digits that long counts as out of range).
  static constexpr std::size_t kMaxFieldLength = 128;

  void Add(char c);
  // Ends the line: calls take(channel, value) for each number, in field
  // order, adds what was passed over to skipped, and starts a new line.
  template <typename Take>
  void EndLine(Take&& take, SkipCounts& skipped) {
    EndField();
    for (std::size_t i = 0; i < m_values.size(); ++i) {
      if (m_values[i]) take(static_cast<int>(i), *m_values[i]);
    }
    skipped += m_skipped;
    Reset();
  }
  void Reset();

 private:
  static bool IsSeparator(char c) {
    return c == ',' || c == ';' || c == '\t' || c == ' ' || c == '\r' || c == '\n';
  }
  void EndField();

  std::array<char, kMaxFieldLength> m_field{};
  std::size_t m_nFieldLength = 0;
  bool m_bFieldTooLong = false;
  bool m_bFieldNumeric = true;  // only characters a number may hold so far (for a long field)
  std::size_t m_nFieldIndex = 0;
  std::array<std::optional<double>, kMaxPlotChannels> m_values{};
  SkipCounts m_skipped;
};

}  // namespace tarnwick
