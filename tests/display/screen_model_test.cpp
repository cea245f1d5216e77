// Units into lines: breaking, trimming, line mode, repaint requests, Clear and
// Copy All, on the examples the display must reproduce.
#include "display/screen_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "display/recording_repaint_sink.h"

namespace tarnwick {
namespace {

using testing::Area;
using testing::RecordingRepaintSink;
using testing::WholeView;
using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

struct Display {
  std::int32_t nFormat;
  std::int32_t nLengthIndex;
  std::int32_t bReverse;
  std::int32_t nColumns;
  std::int32_t nRows;
};

SETTINGS SettingsFor(const Display& d) {
  SETTINGS s = DefaultSettings();
  s.nUnitFormatIndex = d.nFormat;
  s.nUnitLengthIndex = d.nLengthIndex;
  s.bReverseBytes = d.bReverse;
  s.nColumns = d.nColumns;
  s.nRows = d.nRows;
  return s;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct LinesCase {
  const char* name;
  Display display;
  Bytes input;
  Lines expected;
};

class LinesFromInput : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LinesFromInput, ByteByByteAndInOneRun) {
  const LinesCase& c = GetParam();
  SETTINGS settings = SettingsFor(c.display);
  LiveSettings singleLive(settings);
  ScreenModel single(singleLive, nullptr);
  for (std::uint8_t b : c.input) single.AddReceivedByte(b);
  EXPECT_EQ(single.Lines(), c.expected);
  LiveSettings batchLive(settings);
  ScreenModel batch(batchLive, nullptr);
  batch.AddReceivedBytes(c.input.data(), c.input.size());
  EXPECT_EQ(batch.Lines(), c.expected);
}

constexpr std::int32_t T = kFormatText, H = kFormatHex, B = kFormatBinary, D = kFormatDec,
                       F = kFormatFloat;

INSTANTIATE_TEST_SUITE_P(
    Examples, LinesFromInput,
    ::testing::Values(
        LinesCase{"Hex2", {H, 1, 0, 8, 8}, {0x12, 0x34}, {" 1234"}},
        LinesCase{"Hex2Reversed", {H, 1, 1, 8, 8}, {0x12, 0x34}, {" 3412"}},
        LinesCase{"Hex4", {H, 3, 0, 8, 8}, {0xDE, 0xAD, 0xBE, 0xEF}, {" DEADBEEF"}},
        LinesCase{"Hex1", {H, 0, 0, 8, 8}, {0x0A}, {" 0A"}},
        LinesCase{"Dec1", {D, 0, 0, 8, 8}, {0xFF, 0x7F}, {" -1 127"}},
        LinesCase{"Dec2", {D, 1, 0, 8, 8}, {0xFF, 0x7F}, {" -129"}},
        LinesCase{"Dec2Reversed", {D, 1, 1, 8, 8}, {0xFF, 0x7F}, {" 32767"}},
        LinesCase{"Dec3", {D, 2, 0, 8, 8}, {0x80, 0x00, 0x00}, {" -8388608"}},
        LinesCase{"Dec4", {D, 3, 0, 8, 8}, {0xFF, 0xFF, 0xFF, 0xFE}, {" -2"}},
        LinesCase{"Binary2", {B, 1, 0, 8, 8}, {0x01, 0x80}, {" 0000000110000000"}},
        LinesCase{"Binary2Reversed", {B, 1, 1, 8, 8}, {0x01, 0x80}, {" 0000000110000000"}},
        LinesCase{"Float4", {F, 3, 0, 8, 8}, {0x3F, 0x80, 0x00, 0x00}, {" 1.000000"}},
        LinesCase{"Float4Reversed", {F, 3, 1, 8, 8}, {0x00, 0x00, 0x80, 0x3F}, {" 1.000000"}},
        LinesCase{"Float4Negative", {F, 3, 0, 8, 8}, {0xC1, 0x48, 0x00, 0x00}, {" -12.500000"}},
        LinesCase{"FloatShortUnitIsSubnormal", {F, 1, 0, 8, 8}, {0xFF, 0xFF}, {" 0.000000"}},
        LinesCase{"TextLongUnitShowsLastByte", {T, 1, 0, 8, 8}, Text("abcd"), {"bd"}},
        LinesCase{"LineModeCrLf", {T, 0, 0, 0, 8}, Text("AB\r\nPQ\r\n"), {"AB", "PQ", ""}},
        LinesCase{"LineModeTrims", {T, 0, 0, 0, 2}, Text("1\r2\r3\r4"), {"3", "4"}},
        LinesCase{"LineModeLfAloneNoBreak", {T, 0, 0, 0, 8}, Text("A\nB"), {"AB"}},
        LinesCase{"LineModeCrCrEmptyLine", {T, 0, 0, 0, 8}, Text("A\r\rB"), {"A", "", "B"}},
        LinesCase{"LineModeCrFirstStartsLine", {T, 0, 0, 0, 8}, Text("\r"), {""}},
        LinesCase{
            "LineModeKeepsZeroByte", {T, 0, 0, 0, 8}, {'A', 0, 'B'}, {std::string("A\0B", 3)}},
        LinesCase{"TextColumns", {T, 0, 0, 4, 8}, Text("ABCDEFGHI"), {"ABCD", "EFGH", "I"}},
        LinesCase{"TextColumnsKeepCrLf", {T, 0, 0, 4, 8}, Text("AB\r\nP"), {"AB\r\n", "P"}},
        LinesCase{
            "HexColumnsAndRows", {H, 0, 0, 3, 2}, {1, 2, 3, 4, 5, 6, 7}, {" 04 05 06", " 07"}},
        LinesCase{"PartialUnitShowsNothing", {H, 2, 0, 8, 8}, {0x01, 0x02}, {}},
        LinesCase{
            "NegativeColumnsOneUnitPerLine", {H, 0, 0, -1, 8}, {1, 2, 3}, {" 01", " 02", " 03"}},
        LinesCase{
            "NegativeColumnsTextIsNotLineMode", {T, 0, 0, -3, 8}, Text("A\rB"), {"A", "\r", "B"}},
        LinesCase{"ZeroColumnsNumbersNeverBreak", {H, 0, 0, 0, 2}, {1, 2, 3, 4}, {" 01 02 03 04"}},
        LinesCase{"UnknownFormat", {5, 0, 0, 8, 8}, {1, 2, 3}, {"Unknown Format"}},
        LinesCase{"NegativeFormatIsUnknown", {-1, 0, 0, 8, 8}, {1}, {"Unknown Format"}},
        // Rows below 1 keep one line instead of emptying an empty list forever.
        LinesCase{"ZeroRowsActAsOne", {T, 0, 0, 1, 0}, Text("ABC"), {"C"}},
        LinesCase{"NegativeRowsActAsOne", {T, 0, 0, 0, -5}, Text("A\rB\rC"), {"C"}},
        // A length index outside 0..3 is clamped: 7 acts as 4 bytes, -2 as 1.
        LinesCase{"LengthIndexAboveRangeIsFourBytes",
                  {H, 7, 0, 8, 8},
                  {0xDE, 0xAD, 0xBE, 0xEF, 0x01},
                  {" DEADBEEF"}},
        LinesCase{"LengthIndexBelowRangeIsOneByte", {H, -2, 0, 8, 8}, {0xDE, 0xAD}, {" DE AD"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScreenModel, UnknownFormatReplacesTheTextAlreadyOnTheLine) {
  SETTINGS settings = SettingsFor({H, 0, 0, 8, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  model.AddReceivedByte(0x01);
  settings.nUnitFormatIndex = 9;
  live.Publish();
  model.AddReceivedByte(0x02);
  EXPECT_EQ(model.Lines(), Lines{"Unknown Format"});
  settings.nUnitFormatIndex = H;
  live.Publish();
  model.AddReceivedByte(0x03);
  EXPECT_EQ(model.Lines(), Lines{"Unknown Format 03"});
}

TEST(ScreenModel, SettingChangesApplyFromTheNextCompleteUnit) {
  SETTINGS settings = SettingsFor({H, 1, 0, 8, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  model.AddReceivedByte(0x12);
  model.AddReceivedByte(0x34);
  settings.nUnitFormatIndex = D;
  settings.nUnitLengthIndex = 0;
  live.Publish();
  model.AddReceivedByte(0xFF);
  settings.nUnitFormatIndex = T;
  live.Publish();
  model.AddReceivedByte('x');
  EXPECT_EQ(model.Lines(), Lines{" 1234 -1x"});
}

TEST(ScreenModel, ShorterUnitLengthCompletesThePartialUnitAtTheNextByte) {
  SETTINGS settings = SettingsFor({H, 3, 0, 8, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  model.AddReceivedByte(0xAB);
  model.AddReceivedByte(0xCD);
  model.AddReceivedByte(0xEF);
  EXPECT_EQ(model.UnitFill(), 3);
  settings.nUnitLengthIndex = 0;
  live.Publish();
  model.AddReceivedByte(0x01);  // completes at once; the unit is its first byte
  EXPECT_EQ(model.UnitFill(), 0);
  EXPECT_EQ(model.Lines(), Lines{" AB"});
}

TEST(ScreenModel, FullLineStaysUntilTheNextUnitArrives) {
  SETTINGS settings = SettingsFor({H, 0, 0, 2, 2});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {1, 2, 3, 4}) model.AddReceivedByte(b);
  EXPECT_EQ(model.Lines(), (Lines{" 01 02", " 03 04"}));
  model.AddReceivedByte(5);
  EXPECT_EQ(model.Lines(), (Lines{" 03 04", " 05"}));
}

TEST(ScreenModel, SmallerRowCountTakesEffectAtTheNextTrimming) {
  SETTINGS settings = SettingsFor({H, 0, 0, 1, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {1, 2, 3, 4, 5}) model.AddReceivedByte(b);
  settings.nRows = 2;
  live.Publish();
  EXPECT_EQ(model.LineCount(), 5u);
  model.AddReceivedByte(6);
  EXPECT_EQ(model.Lines(), (Lines{" 05", " 06"}));
}

TEST(ScreenModel, LinesScrollThroughManyRowsInOrder) {
  SETTINGS settings = SettingsFor({D, 0, 0, 1, 5});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (int i = 0; i < 50; ++i) model.AddReceivedByte(static_cast<std::uint8_t>(i));
  EXPECT_EQ(model.Lines(), (Lines{" 45", " 46", " 47", " 48", " 49"}));
  settings.nRows = 40;  // the ring grows past its first size and keeps the order
  live.Publish();
  for (int i = 50; i < 90; ++i) model.AddReceivedByte(static_cast<std::uint8_t>(i));
  const Lines lines = model.Lines();
  ASSERT_EQ(lines.size(), 40u);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(lines[i], " " + std::to_string(50 + i));
}

// Rows accepts any integer; what the screen keeps is bounded.
TEST(ScreenModel, HugeRowCountsKeepAtMostTheBound) {
  for (const std::int32_t rows : {kMaxDisplayRows, kMaxDisplayRows + 1, INT32_MAX}) {
    SETTINGS settings = SettingsFor({T, 0, 0, 1, rows});
    LiveSettings live(settings);
    ScreenModel model(live, nullptr);
    const std::string input = std::string(kMaxDisplayRows, 'a') + "bc";
    model.AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    const std::size_t expected =
        std::min<std::size_t>(static_cast<std::size_t>(rows), kMaxDisplayRows);
    EXPECT_EQ(model.LineCount(), expected) << rows;
    EXPECT_EQ(model.Lines().back(), "c") << rows;
    EXPECT_EQ(live.Current().nRows, rows);  // the record keeps what was entered
  }
}

TEST(ScreenModel, PartialUnitLocksNothingAndRequestsNoRepaint) {
  SETTINGS settings = SettingsFor({H, 2, 0, 8, 8});
  RecordingRepaintSink sink;
  LiveSettings live(settings);
  ScreenModel model(live, &sink);
  model.AddReceivedByte(1);
  model.AddReceivedByte(2);
  EXPECT_TRUE(sink.requests.empty());
  EXPECT_EQ(model.UnitFill(), 2);
  model.AddReceivedByte(3);
  EXPECT_EQ(model.UnitFill(), 0);
  EXPECT_EQ(model.Lines(), Lines{" 010203"});
}

TEST(ScreenModel, RepaintsWholeViewOnLineBoundaryElseLastLineAndHeaderStrip) {
  SETTINGS settings = SettingsFor({H, 0, 0, 2, 8});
  RecordingRepaintSink sink;
  LiveSettings live(settings);
  ScreenModel model(live, &sink);
  EXPECT_EQ(model.LastLineRect(), (Rect{0, 0, 1000, 1000}));

  model.AddReceivedByte(1);  // starts the first line
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
  sink.Reset();

  model.SetLastLineRect({10, 40, 240, 60});
  model.AddReceivedByte(2);  // joins the line
  EXPECT_EQ(sink.requests, (std::vector{Area({10, 40, 240, 60}), Area({0, 0, 240, 20})}));
  sink.Reset();

  model.AddReceivedByte(3);  // line full: a new line starts
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
}

TEST(ScreenModel, LineModeCarriageReturnRepaintsWholeViewAndLineFeedOnlyTheLine) {
  SETTINGS settings = SettingsFor({T, 0, 0, 0, 8});
  RecordingRepaintSink sink;
  LiveSettings live(settings);
  ScreenModel model(live, &sink);
  model.AddReceivedByte('A');
  sink.Reset();
  model.AddReceivedByte('\r');
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
  sink.Reset();
  model.AddReceivedByte('\n');  // starts the next line
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
  sink.Reset();
  model.AddReceivedByte('\n');
  EXPECT_EQ(sink.requests, (std::vector{Area({0, 0, 1000, 1000}), Area({0, 0, 1000, 1000})}));
}

TEST(ScreenModel, VisitRowsDrawsTheRowsAskedForAndStoresTheLastLineRect) {
  SETTINGS settings = SettingsFor({T, 0, 0, 0, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  const Bytes input = Text("AB\r\nPQR\r\nXY");
  model.AddReceivedBytes(input.data(), input.size());
  std::vector<std::pair<std::size_t, std::string>> seen;
  const ScreenModel::Extent extent = model.VisitRows(
      1, 5, [&](std::size_t i, std::string_view line, LineTime) { seen.emplace_back(i, line); },
      [](const ScreenModel::Extent&) {
        return Rect{10, 20, 30, 40};
      });
  EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::string>>{{1, "PQR"}, {2, "XY"}}));
  EXPECT_EQ(extent.nLines, 3u);
  EXPECT_EQ(extent.nWidest, 3u);
  EXPECT_EQ(model.LastLineRect(), (Rect{10, 20, 30, 40}));
}

// The widest line is kept as lines come, grow, are dropped and cleared: it is
// always that of the lines the screen holds.
TEST(ScreenModel, TheWidestLineFollowsTheLinesHeld) {
  const struct {
    std::int32_t rows;
    std::vector<std::string> reads;
  } cases[] = {
      {2, {"AAAAAA\rB\rCC\r"}},                        // the widest scrolls away
      {3, {"AB\rABCD", "EFGH\rX"}},                    // the last line grows over the others
      {5, {std::string(5000, 'L') + "\rS\r", "T\r"}},  // a long line, then it scrolls
      {2, {std::string(5000, 'L') + "\rS\r", "T\r"}},
      {1, {"ONE\rTWO2\rT"}},
  };
  for (const auto& c : cases) {
    SETTINGS settings = SettingsFor({T, 0, 0, 0, c.rows});
    LiveSettings live(settings);
    ScreenModel model(live, nullptr);
    for (const std::string& read : c.reads) {
      const Bytes input = Text(read);
      model.AddReceivedBytes(input.data(), input.size());
      std::size_t widest = 0;
      for (const DisplayLine& line : model.Lines()) widest = std::max(widest, line.size());
      EXPECT_EQ(model.VisitRows(0, 0, {}, {}).nWidest, widest) << c.rows << " " << read.size();
    }
    model.Clear();
    EXPECT_EQ(model.VisitRows(0, 0, {}, {}).nWidest, 0u);
  }
}

TEST(ScreenModel, CopyAllText) {
  SETTINGS settings = SettingsFor({T, 0, 0, 0, 8});
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  EXPECT_EQ(model.CopyAllText(), "");
  const Bytes input = Text("AB\r\nPQ");
  model.AddReceivedBytes(input.data(), input.size());
  EXPECT_EQ(model.CopyAllText(), "AB\r\nPQ\r\n");

  LiveSettings percentLive(settings);
  ScreenModel percent(percentLive, nullptr);
  const Bytes text = Text("100% and %s\r\n%n%d");
  percent.AddReceivedBytes(text.data(), text.size());
  EXPECT_EQ(percent.CopyAllText(), "100% and %s\r\n%n%d\r\n");
}

TEST(ScreenModel, ClearDropsPartialUnitAndLinesAndRepaints) {
  SETTINGS settings = SettingsFor({H, 3, 0, 8, 8});
  RecordingRepaintSink sink;
  LiveSettings live(settings);
  ScreenModel model(live, &sink);
  for (std::uint8_t b : {0x11, 0x22, 0x33, 0x44, 0xAA, 0xBB}) model.AddReceivedByte(b);
  ASSERT_EQ(model.Lines(), Lines{" 11223344"});
  sink.Reset();
  model.Clear();
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
  EXPECT_EQ(model.LineCount(), 0u);
  EXPECT_EQ(model.UnitFill(), 0);
  EXPECT_EQ(model.UnitsOnLine(), 0);
  // The two bytes before the Clear are gone: the next four make one unit on a new first line.
  for (std::uint8_t b : {0x01, 0x02, 0x03, 0x04}) model.AddReceivedByte(b);
  EXPECT_EQ(model.Lines(), Lines{" 01020304"});
}

TEST(ScreenModel, ClearRunsItsCallbackUnderTheLockBeforeRepainting) {
  SETTINGS settings = SettingsFor({H, 0, 0, 8, 8});
  RecordingRepaintSink sink;
  LiveSettings live(settings);
  ScreenModel model(live, &sink);
  model.AddReceivedByte(1);
  model.AddReceivedByte(2);
  sink.Reset();
  bool lockHeld = false;
  std::future<std::size_t> reader;
  model.Clear([&](std::uint32_t bytesTaken) {
    EXPECT_EQ(bytesTaken, 2u);
    EXPECT_TRUE(sink.requests.empty());
    // Another thread cannot read the model while the callback runs.
    reader = std::async(std::launch::async, [&] { return model.Lines().size(); });
    lockHeld = reader.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout;
  });
  EXPECT_TRUE(lockHeld);
  EXPECT_EQ(reader.get(), 0u);
  EXPECT_EQ(sink.requests, std::vector{WholeView()});
}

}  // namespace
}  // namespace tarnwick
