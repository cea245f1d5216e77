// Samples from the received stream: units by column, numbers in text lines,
// values that cannot be plotted, and the screen model's own line layout.
#include "plot/sample_extractor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "plot/plot_test_support.h"

namespace tarnwick {
namespace {

using testing::Bytes;
using testing::PlotSettings;
using testing::Point;
using testing::Points;
using testing::ReadAt;
using testing::TextBytes;

struct ExtractCase {
  const char* name;
  SETTINGS settings;
  std::vector<Bytes> reads;  // each read in turn, 10 ms apart
  std::vector<Point> expected;
  SkipCounts skipped;
};

Bytes FloatBytes(std::initializer_list<float> values) {
  Bytes out;
  for (float v : values) {
    const auto bits = std::bit_cast<std::uint32_t>(v);
    for (int shift = 24; shift >= 0; shift -= 8)
      out.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return out;
}

Bytes Repeated(std::uint8_t b, std::size_t n) { return Bytes(n, b); }

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<ExtractCase> Cases() {
  std::vector<Point> sixteen;
  for (int c = 0; c < 16; ++c) sixteen.push_back({c, 7});
  return {
      {"DecBytesThreeColumns",
       PlotSettings(kFormatDec, 1, 3),
       {{1, 2, 3, 4, 5, 0xFF}},
       {{0, 1}, {1, 2}, {2, 3}, {0, 4}, {1, 5}, {2, -1}},
       {}},
      {"DecTwoByteUnitsSplitAcrossReads",
       PlotSettings(kFormatDec, 2, 2),
       {{0x80}, {0x00, 0x00}, {0x05}},
       {{0, -32768}, {1, 5}},
       {}},
      {"HexIsUnsignedAndReversible",
       PlotSettings(kFormatHex, 2, 1, true),
       {{0xFF, 0xFF, 0x01, 0x00}},
       {{0, 65535}, {0, 1}},
       {}},
      {"BinaryIsUnsigned",
       PlotSettings(kFormatBinary, 1, 2),
       {{0x80, 0x01}},
       {{0, 128}, {1, 1}},
       {}},
      {"FloatSkipsNaNAndInfinities",
       PlotSettings(kFormatFloat, 4, 2),
       {FloatBytes({1.5f, kNaN, kInf, -2.25f, -kInf})},
       {{0, 1.5}, {1, -2.25}},
       SkipCounts{.nNotFinite = 3}},
      {"ColumnsBeyondSixteenAreCounted",
       PlotSettings(kFormatDec, 1, 0),
       {Repeated(7, 20)},
       sixteen,
       SkipCounts{.nBeyondChannels = 4}},
      {"NegativeColumnsPutEveryUnitInChannelOne",
       PlotSettings(kFormatDec, 1, -1),
       {{1, 2, 3}},
       {{0, 1}, {0, 2}, {0, 3}},
       {}},
      {"UnknownFormatGivesNothing", PlotSettings(9, 1, 3), {{1, 2, 3}}, {}, {}},
      {"TextCommaSeparated",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("23.5,47.1\r\n")},
       {{0, 23.5}, {1, 47.1}},
       {}},
      {"TextMixedFieldsKeepTheirPositions",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("SEQ 00012 TEMP +21.50 C HUM  45.0 %\r\n")},
       {{1, 12}, {3, 21.5}, {6, 45}},
       {}},
      {"TextNumberForms",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("1e999;-2e-3\tx;0x1F;inf;nan;.5;5.;-.5E1;+-1;1e\r\n")},
       {{1, -0.002}, {6, 0.5}, {7, 5}, {8, -5}},
       SkipCounts{.nOutOfRange = 1}},
      {"TextLineAcrossReadsAndLinesWithoutNumbers",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("hello\r\n1"), TextBytes("0;2"), TextBytes("0\r\n\r\n")},
       {{0, 10}, {1, 20}},
       {}},
      {"TextChannelCountChangingFromLineToLine",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("1\r\n1;2;3\r\n\r\n4 5\r\n")},
       {{0, 1}, {0, 1}, {1, 2}, {2, 3}, {0, 4}, {1, 5}},
       {}},
      {"TextUnfinishedLineGivesNothingYet",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("1,2")},
       {},
       {}},
      {"TextFieldsBeyondSixteen",
       PlotSettings(kFormatText, 1, 0),
       {TextBytes("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17\r\n")},
       [] {
         std::vector<Point> p;
         for (int c = 0; c < 16; ++c) p.push_back({c, double(c)});
         return p;
       }(),
       SkipCounts{.nBeyondChannels = 2}},
      {"TextFixedWidthLinesEndByCount",
       PlotSettings(kFormatText, 1, 4),
       {TextBytes("1 2 3,4 ")},
       {{0, 1}, {1, 2}, {0, 3}, {1, 4}},
       {}},
      {"TextTwoByteUnitsShowTheirLastByte",
       PlotSettings(kFormatText, 2, 0),
       {TextBytes("x4x2x\r")},
       {{0, 42}},
       {}},
      {"MegabyteLineWithoutSeparatorsThenANormalOne",
       PlotSettings(kFormatText, 1, 0),
       {Repeated('9', 1 << 20), TextBytes(" 5\r\n"), Repeated('a', 1 << 20),
        TextBytes("\r\n3\r\n")},
       {{1, 5}, {0, 3}},
       SkipCounts{.nOutOfRange = 1}},
  };
}

class Extract : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(Extract, SamplesAndSkipsAsExpected) {
  const ExtractCase& c = GetParam();
  SampleExtractor extractor;
  std::vector<Sample> out;
  SkipCounts skipped;
  std::int64_t ms = 0;
  for (const Bytes& read : c.reads) {
    extractor.Take(read.data(), read.size(), ReadAt(ms += 10), c.settings, DisplayOptions{}, out,
                   skipped);
  }
  EXPECT_EQ(Points(out), c.expected);
  EXPECT_EQ(skipped, c.skipped);
  for (const Sample& s : out) EXPECT_TRUE(std::isfinite(s.value));
}

INSTANTIATE_TEST_SUITE_P(Plot, Extract, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SampleExtractor, TextSamplesCarryTheTimeTheirLineBegan) {
  SampleExtractor extractor;
  std::vector<Sample> out;
  SkipCounts skipped;
  const SETTINGS s = PlotSettings(kFormatText, 1, 0);
  const Bytes first = TextBytes("1,"), second = TextBytes("2\r\n");
  extractor.Take(first.data(), first.size(), ReadAt(100), s, {}, out, skipped);
  extractor.Take(second.data(), second.size(), ReadAt(250), s, {}, out, skipped);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].time, ReadAt(100).WallMs());
  EXPECT_EQ(out[1].time, ReadAt(100).WallMs());
  // The line the LF began shows nothing until "3": it is that text's time.
  const Bytes third = TextBytes("3\r\n");
  extractor.Take(third.data(), third.size(), ReadAt(400), s, {}, out, skipped);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[2].time, ReadAt(400).WallMs());
}

TEST(SampleExtractor, APauseStartsANewLineAtChannelOne) {
  SampleExtractor extractor;
  std::vector<Sample> out;
  SkipCounts skipped;
  const SETTINGS s = PlotSettings(kFormatDec, 1, 0);
  DisplayOptions options;
  options.nPauseBreakMs = 50;
  const Bytes a{1, 2}, b{3}, c{4, 5};
  extractor.Take(a.data(), a.size(), ReadAt(0), s, options, out, skipped);
  extractor.Take(b.data(), b.size(), ReadAt(10), s, options, out, skipped);
  extractor.Take(c.data(), c.size(), ReadAt(200), s, options, out, skipped);
  EXPECT_EQ(Points(out), (std::vector<Point>{{0, 1}, {1, 2}, {2, 3}, {0, 4}, {1, 5}}));
}

TEST(SampleExtractor, PicksUpMidLineWhereTheModelStands) {
  ScreenModel::StreamPosition position;
  position.nUnitFill = 1;
  position.unitBytes[0] = 0x01;
  position.nUnitsOnLine = 2;
  position.bLastLineShowsText = true;
  SampleExtractor dec;
  std::vector<Sample> out;
  SkipCounts skipped;
  dec.Resync(position);
  const Bytes units{0x00, 0x00, 0x02};
  dec.Take(units.data(), units.size(), ReadAt(0), PlotSettings(kFormatDec, 2, 3), {}, out, skipped);
  EXPECT_EQ(Points(out), (std::vector<Point>{{2, 256}, {0, 2}}));

  // The text line already begun is not plotted; the next one is.
  out.clear();
  position.nUnitFill = 0;
  SampleExtractor text;
  text.Resync(position);
  const Bytes rest = TextBytes("5,6\r\n7,8\r\n");
  text.Take(rest.data(), rest.size(), ReadAt(0), PlotSettings(kFormatText, 1, 0), {}, out, skipped);
  EXPECT_EQ(Points(out), (std::vector<Point>{{0, 7}, {1, 8}}));
}

// The columns are the screen's: a random stream in random reads, with pauses,
// gives each line's units as the screen model shows them.
TEST(SampleExtractor, FollowsTheScreenModelsColumns) {
  for (const std::int32_t columns : {0, 1, 3, 7, -1}) {
    SETTINGS settings = PlotSettings(kFormatDec, 2, columns);
    settings.nRows = 100000;
    DisplayOptions options;
    options.nPauseBreakMs = 20;
    LiveSettings live(settings, options);
    ScreenModel model(live, nullptr);
    SampleExtractor extractor;
    std::vector<Sample> out;
    SkipCounts skipped;
    std::mt19937 random(columns + 10);
    std::int64_t ms = 0;
    for (int read = 0; read < 300; ++read) {
      Bytes bytes(random() % 9 + 1);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      ms += random() % 2 ? 5 : 40;
      extractor.Take(bytes.data(), bytes.size(), ReadAt(ms), settings, options, out, skipped);
      model.AddReceivedBytes(bytes.data(), bytes.size(), ReadAt(ms));
    }
    std::vector<Point> shown;
    for (const std::string& line : model.Lines()) {
      std::size_t pos = 0;
      for (int column = 0; pos < line.size(); ++column) {
        std::size_t used = 0;
        const double value = std::stod(line.substr(pos), &used);
        if (column < kMaxPlotChannels) shown.push_back({column, value});
        pos += used;
      }
    }
    EXPECT_EQ(Points(out), shown) << "columns " << columns;
  }
}

}  // namespace
}  // namespace tarnwick
