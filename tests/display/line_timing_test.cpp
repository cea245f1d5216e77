// When lines arrived and where pauses break them: each line keeps the time of
// the read that brought its first byte, and a pause of the chosen length
// between reads starts a new line at the next unit, never inside one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace tarnwick {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;
using Times = std::vector<LineTime>;

// An arbitrary wall-clock origin, so the times read as a day's times.
constexpr LineTime kEpochMs = 1'700'000'000'000;

// A read at ms on both clocks (the wall clock kEpochMs further on).
ReadTime At(std::int64_t ms) {
  return {std::chrono::system_clock::time_point(milliseconds(kEpochMs + ms)),
          std::chrono::steady_clock::time_point(milliseconds(ms))};
}

struct Read {
  std::int64_t ms;
  std::vector<std::uint8_t> bytes;
};

struct Display {
  std::int32_t nFormat;
  std::int32_t nLengthIndex;
  std::int32_t nColumns;
  std::int32_t nRows;
};

class Rig {
 public:
  Rig(const Display& d, std::int32_t pauseMs) : m_live(m_settings, m_options) {
    m_settings.nUnitFormatIndex = d.nFormat;
    m_settings.nUnitLengthIndex = d.nLengthIndex;
    m_settings.nColumns = d.nColumns;
    m_settings.nRows = d.nRows;
    m_options.nPauseBreakMs = pauseMs;
    m_live.Publish();
  }
  void Feed(const std::vector<Read>& reads) {
    for (const Read& read : reads) {
      m_model.AddReceivedBytes(read.bytes.data(), read.bytes.size(), At(read.ms));
    }
  }
  ScreenModel& Model() { return m_model; }

 private:
  SETTINGS m_settings = DefaultSettings();
  DisplayOptions m_options;
  LiveSettings m_live;
  ScreenModel m_model{m_live, nullptr};
};

Times Relative(const Times& times) {
  Times relative;
  for (LineTime t : times) relative.push_back(t - kEpochMs);
  return relative;
}

constexpr std::int32_t T = kFormatText, H = kFormatHex;

struct TimingCase {
  const char* name;
  Display display;
  std::int32_t nPauseMs;
  std::vector<Read> reads;
  Lines lines;
  Times times;  // ms after the origin
};

class LineTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(LineTiming, LinesAndTheirTimes) {
  const TimingCase& c = GetParam();
  Rig rig(c.display, c.nPauseMs);
  rig.Feed(c.reads);
  EXPECT_EQ(rig.Model().Lines(), c.lines);
  EXPECT_EQ(Relative(rig.Model().LineTimes()), c.times);
  EXPECT_LE(rig.Model().LineCount(), static_cast<std::size_t>(c.display.nRows));
}

INSTANTIATE_TEST_SUITE_P(
    FirstByteTime, LineTiming,
    ::testing::Values(
        // Lines start with the unit that completes them; their time is that
        // of the read that brought the unit's first byte.
        TimingCase{"OneByteUnits",
                   {H, 0, 2, 8},
                   0,
                   {{0, {1, 2, 3}}, {40, {4, 5}}},
                   {" 01 02", " 03 04", " 05"},
                   {0, 0, 40}},
        TimingCase{"UnitAcrossReads",
                   {H, 1, 1, 8},
                   0,
                   {{0, {1}}, {30, {2, 3}}, {70, {4}}},
                   {" 0102", " 0304"},
                   {0, 30}},
        TimingCase{"UnitOverThreeReads",
                   {H, 3, 1, 8},
                   0,
                   {{0, {1, 2, 3, 4, 5}}, {10, {6}}, {20, {7}}, {30, {8, 9}}},
                   {" 01020304", " 05060708"},
                   {0, 0}},
        TimingCase{"LineModeLinesStartAfterCr",
                   {T, 0, 0, 8},
                   0,
                   {{0, {'A', 'B', '\r'}}, {25, {'\n', 'C'}}, {50, {'D', '\r'}}},
                   {"AB", "CD"},
                   {0, 25}},
        // In line mode the LF that ends a line starts the next, empty one:
        // its time is that of its first text; an empty line keeps the LF's.
        TimingCase{"LineModeLineTakesItsFirstTextsTime",
                   {T, 0, 0, 8},
                   0,
                   {{0, {'A', 'B', '\r', '\n'}}, {1000, {'C', 'D', '\r', '\n'}}, {1500, {'\n'}}},
                   {"AB", "CD", ""},
                   {0, 1000, 1000}},
        // Two-byte TEXT units show their last byte: the first text of the
        // second line is a unit whose first byte came at 100.
        TimingCase{"LineModeTextUnitAcrossReads",
                   {T, 1, 0, 8},
                   0,
                   {{0, {'x', '\r', 'y', '\n'}}, {100, {'z'}}, {200, {'A'}}},
                   {"", "A"},
                   {0, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    PauseBreaks, LineTiming,
    ::testing::Values(
        // A pause of 100 ms or more between two reads.
        TimingCase{"ShorterPauseJoins",
                   {H, 0, 16, 8},
                   100,
                   {{0, {1, 2}}, {99, {3}}, {150, {4}}},
                   {" 01 02 03 04"},
                   {0}},
        TimingCase{"PauseOfExactlyTheLengthBreaks",
                   {H, 0, 16, 8},
                   100,
                   {{0, {1, 2}}, {100, {3}}},
                   {" 01 02", " 03"},
                   {0, 100}},
        TimingCase{"OffIgnoresPauses", {H, 0, 16, 8}, 0, {{0, {1}}, {5000, {2}}}, {" 01 02"}, {0}},
        // With 2-byte units the pause falls inside the unit 03 04: it is
        // completed on the line, and the next unit starts the new one.
        TimingCase{"PauseInsideAUnit",
                   {H, 1, 16, 8},
                   100,
                   {{0, {1, 2, 3}}, {200, {4, 5, 6}}},
                   {" 0102 0304", " 0506"},
                   {0, 200}},
        // A pause inside a 3-byte unit whose rest comes in two more reads.
        TimingCase{"PauseInsideAUnitCompletedLater",
                   {H, 2, 16, 8},
                   100,
                   {{0, {1, 2, 3, 4}}, {200, {5}}, {210, {6, 7}}, {220, {8, 9}}},
                   {" 010203 040506", " 070809"},
                   {0, 210}},
        // The unit after the pause arrives in pieces: it still starts the line.
        TimingCase{"UnitAfterThePauseInPieces",
                   {H, 3, 16, 8},
                   100,
                   {{0, {1, 2, 3, 4}}, {300, {5, 6}}, {310, {7, 8}}},
                   {" 01020304", " 05060708"},
                   {0, 300}},
        // The unit begun after one pause completes after another: it starts a
        // line, and the pause inside it breaks before the unit after it.
        TimingCase{"TwoBreaksInOneRead",
                   {H, 1, 16, 8},
                   100,
                   {{0, {1, 2}}, {200, {3}}, {400, {4, 5, 6}}},
                   {" 0102", " 0304", " 0506"},
                   {0, 200, 400}},
        // As a full line would: the oldest lines go, at most Rows stay.
        TimingCase{"TrimsAsAFullLine",
                   {H, 0, 16, 2},
                   100,
                   {{0, {1}}, {200, {2}}, {400, {3}}, {600, {4, 5}}},
                   {" 03", " 04 05"},
                   {400, 600}},
        TimingCase{"ColumnLimitAndPauseAtOnce",
                   {H, 0, 2, 8},
                   100,
                   {{0, {1, 2}}, {200, {3, 4, 5}}},
                   {" 01 02", " 03 04", " 05"},
                   {0, 200, 200}},
        // Line mode: a pause ends a line of text; the line a LF started waits
        // for its text, and a CR after the pause ends the line by itself.
        TimingCase{"LineModeTextThenPause",
                   {T, 0, 0, 8},
                   100,
                   {{0, {'A', 'B'}}, {200, {'C'}}},
                   {"AB", "C"},
                   {0, 200}},
        TimingCase{"LineModeCrLfThenPause",
                   {T, 0, 0, 8},
                   100,
                   {{0, {'A', 'B', '\r', '\n'}}, {200, {'C'}}},
                   {"AB", "C"},
                   {0, 200}},
        TimingCase{"LineModeCrAfterThePause",
                   {T, 0, 0, 8},
                   100,
                   {{0, {'A', 'B'}}, {200, {'\r', '\n', 'C'}}},
                   {"AB", "C"},
                   {0, 200}},
        // TEXT with a column count keeps CR LF in the lines and breaks as HEX does.
        TimingCase{"TextColumns",
                   {T, 0, 80, 8},
                   100,
                   {{0, {'o', 'k', '\r', '\n'}}, {500, {'x'}}},
                   {"ok\r\n", "x"},
                   {0, 500}}),
    [](const auto& info) { return std::string(info.param.name); });

// Clock trouble. The monotonic clock never goes back, but a caller's times
// might: a read that seems to come before the latest one makes no pause, and
// the next pause is measured from the latest read.
INSTANTIATE_TEST_SUITE_P(
    Clocks, LineTiming,
    ::testing::Values(TimingCase{"BackwardsReadMakesNoPause",
                                 {H, 0, 16, 8},
                                 100,
                                 {{1000, {1}}, {-5000, {2}}, {-4800, {3}}, {1050, {4}}},
                                 {" 01 02 03 04"},
                                 {1000}},
                      TimingCase{"PauseFromTheLatestRead",
                                 {H, 0, 16, 8},
                                 100,
                                 {{1000, {1}}, {-5000, {2}}, {1100, {3}}},
                                 {" 01 02", " 03"},
                                 {1000, 1100}},
                      TimingCase{
                          "HugePause",
                          {H, 0, 16, 8},
                          kMaxPauseBreakMs,
                          {{0, {1}}, {kMaxPauseBreakMs - 1, {2}}, {2LL * kMaxPauseBreakMs, {3}}},
                          {" 01 02", " 03"},
                          {0, 2LL * kMaxPauseBreakMs}}),
    [](const auto& info) { return std::string(info.param.name); });

// The wall clock may jump (NTP, the user): lines show it as it was, while the
// pause is measured on the monotonic clock.
TEST(LineTimingClock, WallClockJumpsMoveTheTimesNotTheBreaks) {
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nColumns = 1;
  DisplayOptions options;
  options.nPauseBreakMs = 100;
  LiveSettings live(settings, options);
  ScreenModel model(live, nullptr);
  const auto wall = std::chrono::system_clock::time_point(milliseconds(kEpochMs));
  const auto steady = std::chrono::steady_clock::time_point(milliseconds(0));
  const std::uint8_t bytes[] = {1, 2, 3};
  // An hour back, then a day forward, 10 ms apart on the monotonic clock.
  model.AddReceivedBytes(bytes, 1, {wall, steady});
  model.AddReceivedBytes(bytes + 1, 1, {wall - std::chrono::hours(1), steady + milliseconds(10)});
  model.AddReceivedBytes(bytes + 2, 1, {wall + std::chrono::hours(24), steady + milliseconds(20)});
  EXPECT_EQ(model.Lines(), (Lines{" 01", " 02", " 03"}));
  EXPECT_EQ(Relative(model.LineTimes()), (Times{0, -3'600'000, 86'400'000}));

  settings.nColumns = 16;
  live.Publish();
  model.Clear();
  model.AddReceivedBytes(bytes, 2, {wall, steady + milliseconds(30)});
  model.AddReceivedBytes(bytes + 2, 1, {wall + std::chrono::hours(1), steady + milliseconds(40)});
  EXPECT_EQ(model.Lines(), Lines{" 01 02 03"});
}

// Batches split anywhere give the lines one batch gives, when no pause is
// involved; the time-taking entry and the old one agree.
TEST(LineTimingClock, SplittingWithoutPausesChangesNothing) {
  std::vector<std::uint8_t> data(997);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
  for (std::int32_t length = 0; length < 4; ++length) {
    Rig whole({H, length, 7, 5}, 50);
    whole.Model().AddReceivedBytes(data.data(), data.size());
    Rig pieces({H, length, 7, 5}, 50);
    std::size_t offset = 0;
    for (std::size_t size = 1; offset < data.size(); size = size % 5 + 1) {
      const std::size_t take = std::min(size, data.size() - offset);
      pieces.Model().AddReceivedBytes(data.data() + offset, take,
                                      At(static_cast<std::int64_t>(offset)));
      offset += take;
    }
    EXPECT_EQ(pieces.Model().Lines(), whole.Model().Lines()) << "unit length " << length + 1;
  }
}

}  // namespace
}  // namespace tarnwick
