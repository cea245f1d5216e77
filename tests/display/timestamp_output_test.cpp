// Arrival times as text: the "HH:MM:SS.mmm" stamp (or with the date), and the text log and Copy
// All with and without it. With the options off both stay byte for byte as
// they are without options.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "display/line_timestamp.h"
#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::TempDir;

constexpr LineTime kEpochMs = 1'700'000'000'000;

ReadTime At(std::int64_t ms) {
  return {std::chrono::system_clock::time_point(std::chrono::milliseconds(kEpochMs + ms)),
          std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms))};
}

// The stamp as the C library spells local time, for comparison.
std::string LibraryStamp(LineTime ms, TimestampStyle style = TimestampStyle::kTime) {
  const bool dated = style == TimestampStyle::kDateAndTime;
  const std::time_t seconds = static_cast<std::time_t>((ms - 999 * (ms < 0)) / 1000);
  const std::tm* local = std::localtime(&seconds);
  if (local == nullptr) return dated ? "----------T--:--:--.---" : "--:--:--.---";
  char text[48];
  const std::size_t length =
      std::strftime(text, sizeof text, dated ? "%Y-%m-%dT%H:%M:%S" : "%H:%M:%S", local);
  std::snprintf(text + length, sizeof text - length, ".%03d",
                static_cast<int>((ms % 1000 + 1000) % 1000));
  return text;
}

std::string Stamp(std::int64_t ms) { return LibraryStamp(kEpochMs + ms); }

std::string FileText(const std::string& path) {
  const auto bytes = testing::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TimestampFormatter, SpellsLocalTimeWithMilliseconds) {
  // The style changes on a formatter that has a second cached, as the
  // options change under a running capture.
  TimestampFormatter formatter;
  for (TimestampStyle style : {TimestampStyle::kTime, TimestampStyle::kDateAndTime}) {
    formatter.SetStyle(style);
    // In an order that leaves a second and comes back to it, crossing
    // midnight; the last is the final millisecond of 1969, or the mark of a
    // time the system cannot show.
    for (LineTime time :
         {kEpochMs, kEpochMs + 1, kEpochMs + 999, kEpochMs + 1000, kEpochMs + 59'999,
          kEpochMs + 3'600'123, kEpochMs + 999, kEpochMs + 86'399'999, LineTime{-1}}) {
      EXPECT_EQ(formatter.Text(time), LibraryStamp(time, style)) << time;
      EXPECT_EQ(formatter.Text(time).size(), formatter.Sample().size());
    }
  }
}

// HEX, two units a line, the text log on.
class Stamped : public ::testing::Test {
 protected:
  Stamped() {
    settings.nUnitFormatIndex = kFormatHex;
    settings.nColumns = 2;
    settings.bSaveText = 1;
    std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", path.c_str());
    live.Publish();
  }
  void Feed(std::int64_t ms, std::vector<std::uint8_t> bytes) {
    model.AddReceivedBytes(bytes.data(), bytes.size(), At(ms));
  }
  void StampLog(bool on) {
    options.bTimestampsInLog = on;
    live.Publish();
  }

  TempDir dir;
  const std::string path = dir.File("text.log");
  SETTINGS settings = DefaultSettings();
  DisplayOptions options;
  LiveSettings live{settings, options};
  ScreenModel model{live, nullptr};
};

// Each stamped line begins with its time and one blank and ends with CR LF;
// the option applies from the next line written, Clear's included.
TEST_F(Stamped, TextLogLines) {
  StampLog(true);
  Feed(0, {1, 2, 3});
  Feed(1500, {4, 5});
  EXPECT_EQ(FileText(path), Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n");
  StampLog(false);
  Feed(1600, {6, 7});
  StampLog(true);
  model.Clear();
  EXPECT_EQ(FileText(path),
            Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n 05 06" + Stamp(1600) + "  07\r\n");
}

TEST_F(Stamped, CopyAllLines) {
  Feed(0, {1, 2, 3});
  Feed(61'000, {4, 5});
  EXPECT_EQ(model.CopyAllText(true),
            Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n" + Stamp(61'000) + "  05\r\n");
  EXPECT_EQ(model.CopyAllText(false), " 01 02\r\n 03 04\r\n 05\r\n");
}

// Options off, or only the gutter on: the log and Copy All hold exactly what
// they hold without options, whatever the times and pauses of the reads.
struct OffCase {
  const char* name;
  std::int32_t nFormat, nLengthIndex, nColumns, nRows;
  std::string input, log, copy;  // the log after a final Clear, Copy All before it
};

class OptionsOff : public ::testing::TestWithParam<OffCase> {};

TEST_P(OptionsOff, LogAndCopyAllAreByteForByteAsWithoutOptions) {
  const OffCase& c = GetParam();
  for (bool gutter : {false, true}) {
    TempDir dir;
    SETTINGS settings = DefaultSettings();
    settings.nUnitFormatIndex = c.nFormat;
    settings.nUnitLengthIndex = c.nLengthIndex;
    settings.nColumns = c.nColumns;
    settings.nRows = c.nRows;
    settings.bSaveText = 1;
    std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                  dir.File("text.log").c_str());
    DisplayOptions options;
    options.bShowTimestamps = gutter;
    LiveSettings live(settings, options);
    ScreenModel model(live, nullptr);
    // One byte per read, with long and short pauses between them.
    for (std::size_t i = 0; i < c.input.size(); ++i) {
      const auto b = static_cast<std::uint8_t>(c.input[i]);
      model.AddReceivedBytes(&b, 1, At(static_cast<std::int64_t>(i * i) * 100));
    }
    EXPECT_EQ(model.CopyAllText(), c.copy) << "gutter " << gutter;
    model.Clear();
    EXPECT_EQ(FileText(dir.File("text.log")), c.log) << "gutter " << gutter;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, OptionsOff,
    ::testing::Values(
        OffCase{"Hex", kFormatHex, 0, 2, 8, "\x01\x02\x03\x04\x05", " 01 02 03 04 05",
                " 01 02\r\n 03 04\r\n 05\r\n"},
        OffCase{"LineMode", kFormatText, 0, 0, 8, "AB\r\nPQ\r\n", "ABPQ", "AB\r\nPQ\r\n\r\n"},
        OffCase{"TextColumns", kFormatText, 0, 4, 8, "AB\r\nP", "AB\r\nP", "AB\r\n\r\nP\r\n"},
        OffCase{"SingleRow", kFormatText, 0, 2, 1, "ABCDE", "ABCDE", "E\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
