// When lines arrived and where pauses break them: each line keeps the time of
// the read that brought its first byte, and a pause of the chosen length
// between reads starts a new line at the next unit, never inside one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace tarnwick {
namespace {

using std::chrono::milliseconds;
using Lines = std::vector<std::string>;
using Times = std::vector<LineTime>;

// An arbitrary wall-clock origin; the times below are milliseconds after it.
constexpr LineTime kEpochMs = 1'700'000'000'000;

ReadTime At(std::int64_t ms) {
  return {std::chrono::system_clock::time_point(milliseconds(kEpochMs + ms)),
          std::chrono::steady_clock::time_point(milliseconds(ms))};
}

Times Relative(const Times& times) {
  Times relative;
  for (LineTime t : times) relative.push_back(t - kEpochMs);
  return relative;
}

struct TimingCase {
  const char* name;
  std::int32_t nFormat, nLengthIndex, nColumns, nRows, nPauseMs;
  const char* reads;  // "ms:hex ms:hex ...", one read each, e.g. "0:0102 40:03"
  const char* lines;  // expected lines, separated by '|'
  const char* times;  // expected line times, e.g. "0 40"
};

TimingCase Case(const char* name, std::int32_t format, std::int32_t lengthIndex,
                std::int32_t columns, std::int32_t rows, std::int32_t pauseMs, const char* reads,
                const char* lines, const char* times) {
  return {name, format, lengthIndex, columns, rows, pauseMs, reads, lines, times};
}

class LineTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(LineTiming, LinesAndTheirTimes) {
  const TimingCase& c = GetParam();
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = c.nFormat;
  settings.nUnitLengthIndex = c.nLengthIndex;
  settings.nColumns = c.nColumns;
  settings.nRows = c.nRows;
  DisplayOptions options;
  options.nPauseBreakMs = c.nPauseMs;
  LiveSettings live(settings, options);
  ScreenModel model(live, nullptr);
  std::istringstream reads(c.reads);
  for (std::string read; reads >> read;) {
    const std::size_t colon = read.find(':');
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = colon + 1; i + 1 < read.size(); i += 2) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoi(read.substr(i, 2), nullptr, 16)));
    }
    model.AddReceivedBytes(bytes.data(), bytes.size(), At(std::stoll(read.substr(0, colon))));
  }
  Lines lines(1);
  for (const char* p = c.lines; *p != '\0'; ++p) {
    if (*p == '|') {
      lines.emplace_back();
    } else {
      lines.back().push_back(*p);
    }
  }
  Times times;
  std::istringstream expected(c.times);
  for (LineTime t; expected >> t;) times.push_back(t);
  EXPECT_EQ(model.Lines(), lines);
  EXPECT_EQ(Relative(model.LineTimes()), times);
}

constexpr std::int32_t T = kFormatText, H = kFormatHex;

INSTANTIATE_TEST_SUITE_P(
    Examples, LineTiming,
    ::testing::Values(
        // A line's time is that of the read that brought its first byte.
        Case("OneByteUnits", H, 0, 2, 8, 0, "0:010203 40:0405", " 01 02| 03 04| 05", "0 0 40"),
        Case("UnitAcrossReads", H, 1, 1, 8, 0, "0:01 30:0203 70:04", " 0102| 0304", "0 30"),
        Case("UnitOverFourReads", H, 3, 1, 8, 0, "0:0102030405 10:06 20:07 30:0809",
             " 01020304| 05060708", "0 0"),
        // Line mode: the LF that ends a line starts the next; that line takes
        // the time of its first text, or keeps the LF's while it has none.
        Case("LineModeFirstText", T, 0, 0, 8, 0, "0:41420D0A 1000:43440D0A 1500:0A", "AB|CD|",
             "0 1000 1000"),
        Case("LineModeTwoByteUnits", T, 1, 0, 8, 0, "0:780D790A 100:7A 200:41", "|A", "0 100"),
        // New line after 100 ms or more between two reads.
        Case("ShorterPauseJoins", H, 0, 16, 8, 100, "0:0102 99:03 150:04", " 01 02 03 04", "0"),
        Case("ExactlyThePause", H, 0, 16, 8, 100, "0:0102 100:03", " 01 02| 03", "0 100"),
        Case("Off", H, 0, 16, 8, 0, "0:01 5000:02", " 01 02", "0"),
        // A pause inside a unit: the unit is completed on its line, the next
        // one starts the new line, also when it arrives in pieces.
        Case("InsideTwoByteUnit", H, 1, 16, 8, 100, "0:010203 200:040506", " 0102 0304| 0506",
             "0 200"),
        Case("InsideThreeByteUnit", H, 2, 16, 8, 100, "0:01020304 200:05 210:0607 220:0809",
             " 010203 040506| 070809", "0 210"),
        Case("FourByteUnitInPieces", H, 3, 16, 8, 100, "0:01020304 300:0506 310:0708",
             " 01020304| 05060708", "0 300"),
        Case("TwoBreaksInOneRead", H, 1, 16, 8, 100, "0:0102 200:03 400:040506",
             " 0102| 0304| 0506", "0 200 400"),
        // As a full line would: the oldest lines go, at most Rows stay.
        Case("TrimsAsAFullLine", H, 0, 16, 2, 100, "0:01 200:02 400:03 600:0405", " 03| 04 05",
             "400 600"),
        // Line mode: no empty line after CR LF, and a CR ends its line anyway.
        Case("LineModeTextThenPause", T, 0, 0, 8, 100, "0:4142 200:43", "AB|C", "0 200"),
        Case("LineModeCrLfThenPause", T, 0, 0, 8, 100, "0:41420D0A 200:43", "AB|C", "0 200"),
        Case("LineModeCrAfterPause", T, 0, 0, 8, 100, "0:4142 200:0D0A43", "AB|C", "0 200"),
        // A read that reports a time before the latest makes no pause; the
        // next pause is measured from the latest read.
        Case("BackwardsReadNoPause", H, 0, 16, 8, 100, "1000:01 -5000:02 -4800:03 1050:04",
             " 01 02 03 04", "1000"),
        Case("PauseFromLatestRead", H, 0, 16, 8, 100, "1000:01 -5000:02 1100:03", " 01 02| 03",
             "1000 1100"),
        Case("DayLongPause", H, 0, 16, 8, kMaxPauseBreakMs, "0:01 86399999:02 172800000:03",
             " 01 02| 03", "0 172800000")),
    [](const auto& info) { return std::string(info.param.name); });

// The wall clock may jump (NTP, the user): lines show it as it was, while the
// pause is measured on the monotonic clock.
TEST(LineTimingClock, WallClockJumpsMoveTheTimesNotTheBreaks) {
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nColumns = 2;
  DisplayOptions options;
  options.nPauseBreakMs = 100;
  LiveSettings live(settings, options);
  ScreenModel model(live, nullptr);
  const ReadTime start = At(0);
  const std::uint8_t bytes[] = {1, 2, 3};
  // An hour back, then a day forward, 10 ms apart on the monotonic clock.
  model.AddReceivedBytes(bytes, 1, start);
  model.AddReceivedBytes(bytes + 1, 1,
                         {start.wall - std::chrono::hours(1), start.steady + milliseconds(10)});
  model.AddReceivedBytes(bytes + 2, 1,
                         {start.wall + std::chrono::hours(24), start.steady + milliseconds(20)});
  EXPECT_EQ(model.Lines(), (Lines{" 01 02", " 03"}));
  EXPECT_EQ(Relative(model.LineTimes()), (Times{0, 86'400'000}));
}

}  // namespace
}  // namespace tarnwick
