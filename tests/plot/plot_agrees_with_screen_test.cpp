// The plot reads what the screen shows: every value it takes is the one the
// screen printed in the same column (units) or field (TEXT lines), whatever
// the format, unit length and byte order, across a Clear, a change of format
// and a window opened mid-stream, with lines broken by pauses.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "display/screen_model.h"
#include "plot/plot_feed.h"
#include "plot/plot_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::PlotSettings;
using testing::Point;
using testing::ReadAt;
using testing::TextBytes;

constexpr std::int32_t kPauseMs = 50;

struct Step {
  SETTINGS settings;
  Bytes bytes;
  std::int64_t ms;       // when the read takes place
  bool observed = true;  // the plot window is open
  bool clearFirst = false;
};

// Bytes that cover signs and every nibble, but no float NaN or infinity.
Bytes Pattern(std::size_t count, int seed) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t b = static_cast<std::uint8_t>(i * 73 + static_cast<std::size_t>(seed) * 29 + 5);
    if (b == 0x7F || b == 0xFF) b = 0x40;
    bytes[i] = b;
  }
  return bytes;
}

double ParseUnit(std::int32_t format, const std::string& token) {
  if (format == kFormatFloat) return std::strtod(token.c_str(), nullptr);
  if (format == kFormatDec) return static_cast<double>(std::strtol(token.c_str(), nullptr, 10));
  return static_cast<double>(std::strtoul(token.c_str(), nullptr, format == kFormatHex ? 16 : 2));
}

// The screen's units as (column, text), line by line.
std::vector<std::pair<int, std::string>> Units(const std::vector<DisplayLine>& lines) {
  std::vector<std::pair<int, std::string>> units;
  for (const DisplayLine& line : lines) {
    std::istringstream in(line);
    int column = 0;
    for (std::string token; in >> token;) units.emplace_back(column++, token);
  }
  return units;
}

// The numbers of one shown TEXT line by field.
void LineNumbers(const std::string& line, std::vector<Point>& out) {
  int field = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t end = line.find_first_of(",; \t\r\n", i);
    const std::string text = line.substr(i, end == std::string::npos ? end : end - i);
    i = end == std::string::npos ? line.size() : end + 1;
    if (text.empty()) continue;
    double value = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && ptr == text.data() + text.size() && field < kMaxPlotChannels) {
      out.push_back({field, value});
    }
    ++field;
  }
}

// Runs the steps; what the screen shows after each observed read gives the
// values the plot must have taken from it.
void ExpectPlotAgreesWithScreen(const std::vector<Step>& steps, const std::string& name) {
  SETTINGS record = steps.front().settings;
  const DisplayOptions options{false, false, kPauseMs};
  LiveSettings live(record, options);
  ScreenModel model(live, nullptr);
  PlotFeed feed;
  std::vector<Point> expected;
  std::size_t unitsSeen = 0;
  std::size_t linesSeen = 0;
  for (const Step& step : steps) {
    if (step.clearFirst) {
      model.Clear();
      unitsSeen = linesSeen = 0;
    }
    record = step.settings;
    record.nRows = kMaxDisplayRows;  // every line stays on the screen to compare
    live.Publish();
    model.AddReceivedBytes(step.bytes.data(), step.bytes.size(), ReadAt(step.ms),
                           step.observed ? &feed : nullptr);
    const std::vector<DisplayLine> lines = model.Lines();
    if (step.settings.nUnitFormatIndex == kFormatText) {
      // Every line but the last is complete, and the last when a CR ended it
      // or it is full.
      const std::int32_t cols = step.settings.nColumns;
      const std::int32_t units = model.UnitsOnLine();
      const bool lastDone = units == 0 || (cols > 0 && units >= cols);
      const std::size_t complete = lines.size() - (lastDone ? 0 : 1);
      for (std::size_t i = linesSeen; step.observed && i < complete; ++i) {
        LineNumbers(lines[i], expected);
      }
      linesSeen = complete;
      continue;
    }
    const auto units = Units(lines);
    for (std::size_t i = unitsSeen; step.observed && i < units.size(); ++i) {
      if (units[i].first < kMaxPlotChannels) {
        expected.push_back(
            {units[i].first, ParseUnit(step.settings.nUnitFormatIndex, units[i].second)});
      }
    }
    unitsSeen = units.size();
  }
  SampleBatch batch;
  feed.TakeBatch(batch);
  ASSERT_EQ(batch.samples.size(), expected.size()) << name;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Sample& got = batch.samples[i];
    // FLOAT shows six decimals; the plot has the float itself.
    const double tolerance = 1e-6 + 1e-9 * std::fabs(expected[i].value);
    ASSERT_EQ(got.nChannel, expected[i].channel) << name << " sample " << i;
    ASSERT_NEAR(got.value, expected[i].value, tolerance) << name << " sample " << i;
  }
}

TEST(PlotAgreesWithScreen, EveryFormatLengthAndOrderAcrossClearFormatChangeAndLateOpening) {
  const std::int32_t formats[] = {kFormatHex, kFormatBinary, kFormatDec, kFormatFloat};
  const std::int32_t columns[] = {5, 0, -1};
  int seed = 0;
  for (std::int32_t format : formats) {
    for (int length = 1; length <= 4; ++length) {
      for (bool reverse : {false, true}) {
        ++seed;
        const std::int32_t cols = columns[seed % 3];
        const SETTINGS s = PlotSettings(format, length, cols, reverse);
        // The next format, with another unit length, for the change.
        const SETTINGS next =
            PlotSettings(formats[(seed + 1) % 4], (length % 4) + 1, cols, !reverse);
        const std::vector<Step> steps = {
            {s, Pattern(5, seed), 0, false},                // before the window opened
            {s, Pattern(41, seed + 1), 10},                 // mid-line, mid-unit
            {s, Pattern(23, seed + 2), 10 + 3 * kPauseMs},  // after a pause
            {s, Pattern(17, seed + 3), 200, true, true},    // after a Clear
            {next, Pattern(31, seed + 4), 210},
            {next, Pattern(9, seed + 5), 210 + 2 * kPauseMs},
        };
        ExpectPlotAgreesWithScreen(steps, "format " + std::to_string(format) + " length " +
                                              std::to_string(length) + " reverse " +
                                              std::to_string(reverse));
      }
    }
  }
  // TEXT lines: CR LF, and lines by count, read in pieces, opened on a line
  // already begun, across a Clear and a pause.
  for (std::int32_t cols : {0, 9}) {
    const SETTINGS s = PlotSettings(kFormatText, 1, cols);
    const std::vector<Step> steps = {
        {s, TextBytes("12,3"), 0, false},
        {s, TextBytes("4,5\r\n6,-7.5\r\n8"), 10},
        {s, TextBytes("9\r\n1e3,,11\r\n"), 10 + 3 * kPauseMs},
        {s, TextBytes("2,3\r"), 200},
        {s, TextBytes("\n3;4\r\n5,6\r\n"), 210, true, true},
    };
    ExpectPlotAgreesWithScreen(steps, "text columns " + std::to_string(cols));
  }
}

// Numbers in text lines as people write them beside labels and in brackets,
// and the label that names them.
TEST(PlotNumbers, FoundAsWrittenAndNotInsideWords) {
  const struct {
    const char* field;
    NumberParse parse;
    double value;
    const char* name;
  } cases[] = {
      {"temp=22", NumberParse::kNumber, 22, "temp"},
      {"(10)", NumberParse::kNumber, 10, ""},
      {"x:1.5e3", NumberParse::kNumber, 1500, "x"},
      {"-7", NumberParse::kNumber, -7, ""},
      {"+.5", NumberParse::kNumber, 0.5, ""},
      {"(hum=40%)", NumberParse::kNumber, 40, "hum"},
      {"T[C]=-4", NumberParse::kNumber, -4, "T[C]"},
      {"#=5", NumberParse::kNumber, 5, ""},
      {"\"v_bat\":3.3", NumberParse::kNumber, 3.3, "v_bat"},
      {"abc12", NumberParse::kNotANumber, 0, ""},
      {"0x1F", NumberParse::kNotANumber, 0, ""},
      {"12:30:45", NumberParse::kNotANumber, 0, ""},
      {"1.2.3", NumberParse::kNotANumber, 0, ""},
      {"inf", NumberParse::kNotANumber, 0, ""},
      {"a-7", NumberParse::kNotANumber, 0, ""},
      {"1e999", NumberParse::kOutOfRange, 0, ""},
  };
  for (const auto& c : cases) {
    double value = 0;
    std::string_view name = "unset";
    EXPECT_EQ(FindPlotNumber(c.field, value, &name), c.parse) << c.field;
    if (c.parse == NumberParse::kNumber) {
      EXPECT_EQ(value, c.value) << c.field;
      EXPECT_EQ(name, c.name) << c.field;
    }
  }
}

}  // namespace
}  // namespace tarnwick
