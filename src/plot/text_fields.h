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

// Channel names longer than this are cut.
inline constexpr std::size_t kMaxPlotNameLength = 32;

// The number in a field, as people write one beside a label or in brackets
// ("temp=22", "(10)", "x:1.5e3", "-7"): optional sign, digits with an
// optional decimal point, optional exponent. It must be the field's only
// number and not glued to letters or digits ("abc12", "0x1F", "12:30:45" and
// "1.2.3" hold none); "inf" and "nan" are not numbers. name, when given, gets
// the label written before the number ("temp" of "temp=22"), empty when
// there is none.
NumberParse FindPlotNumber(std::string_view field, double& value, std::string_view* name = nullptr);

// The label a text gives, without the '=' or ':' that ends it and the
// brackets or quotes around it: "temp=" -> "temp", "(x:" -> "x". Empty unless
// it holds a letter; at most kMaxPlotNameLength characters.
std::string_view PlotLabel(std::string_view text);

class TextFieldSplitter {
 public:
  // Longer fields are never numbers anyone meant to plot: they are read no
  // further (a run of digits that long counts as out of range).
  static constexpr std::size_t kMaxFieldLength = 128;

  void Add(char c);
  // Ends the line: calls take(channel, value, name) for each number, in
  // field order, adds what was passed over to skipped, and starts a new
  // line. name is the number's label: the one in its field ("temp=22") or a
  // field of its own just before it ("temp: 22"); empty when there is none.
  template <typename Take>
  void EndLine(Take&& take, SkipCounts& skipped) {
    EndField();
    for (std::size_t i = 0; i < m_values.size(); ++i) {
      if (m_values[i])
        take(static_cast<int>(i), *m_values[i],
             std::string_view(m_names[i].data(), m_nameLengths[i]));
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
  void KeepName(std::size_t channel, std::string_view name);

  std::array<char, kMaxFieldLength> m_field{};
  std::size_t m_nFieldLength = 0;
  bool m_bFieldTooLong = false;
  bool m_bFieldNumeric = true;  // only characters a number may hold so far (for a long field)
  std::size_t m_nFieldIndex = 0;
  std::array<std::optional<double>, kMaxPlotChannels> m_values{};
  std::array<std::array<char, kMaxPlotNameLength>, kMaxPlotChannels> m_names{};
  std::array<std::size_t, kMaxPlotChannels> m_nameLengths{};
  // A field that was only a label ("temp:"): it names the next field's number.
  std::array<char, kMaxPlotNameLength> m_label{};
  std::size_t m_nLabelLength = 0;
  SkipCounts m_skipped;
};

}  // namespace tarnwick
