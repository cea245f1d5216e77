// Arrival times as text: the "HH:MM:SS.mmm" stamp, and the text log and Copy
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

using std::chrono::milliseconds;
using testing::ReadBytes;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr LineTime kEpochMs = 1'700'000'000'000;

ReadTime At(std::int64_t ms) {
  return {std::chrono::system_clock::time_point(milliseconds(kEpochMs + ms)),
          std::chrono::steady_clock::time_point(milliseconds(ms))};
}

// The stamp as the C library spells local time, for comparison.
std::string LibraryStamp(LineTime ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  const std::tm* local = std::localtime(&seconds);
  if (local == nullptr) return "--:--:--.---";
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", local);
  std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(ms % 1000));
  return text;
}

std::string FileText(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TimestampFormatter, SpellsLocalTimeWithMilliseconds) {
  TimestampFormatter formatter;
  // In an order that makes the formatter leave and return to a second.
  for (std::int64_t offset : {0, 1, 999, 1000, 1001, 59'999, 3'600'123, 999, 86'399'999, 0}) {
    const LineTime time = kEpochMs + offset;
    EXPECT_EQ(formatter.Text(time), LibraryStamp(time)) << offset;
    EXPECT_EQ(formatter.Text(time).size(), kTimestampLength);
  }
}

TEST(TimestampFormatter, TimeBeforeNineteenSeventy) {
  TimestampFormatter formatter;
  const std::string text = formatter.Text(-1);
  // The last millisecond of 1969, or the mark for a time the system cannot show.
  const std::time_t second = -1;
  if (const std::tm* local = std::localtime(&second)) {
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", local);
    EXPECT_EQ(text, std::string(clock) + ".999");
  } else {
    EXPECT_EQ(text, "--:--:--.---");
  }
}

struct Rig {
  explicit Rig(const std::string& logPath, bool stampLog) : live(settings, options) {
    settings.nUnitFormatIndex = kFormatHex;
    settings.nColumns = 2;
    settings.bSaveText = 1;
    std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", logPath.c_str());
    options.bTimestampsInLog = stampLog;
    live.Publish();
  }
  void Feed(std::int64_t ms, const Bytes& bytes) {
    model.AddReceivedBytes(bytes.data(), bytes.size(), At(ms));
  }
  SETTINGS settings = DefaultSettings();
  DisplayOptions options;
  LiveSettings live;
  ScreenModel model{live, nullptr};
};

std::string Stamp(std::int64_t ms) { return LibraryStamp(kEpochMs + ms); }

TEST(TimestampedTextLog, EachLineBeginsWithItsTimeAndEndsWithCrLf) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  Rig rig(path, true);
  rig.Feed(0, {1, 2, 3});
  rig.Feed(1500, {4, 5});
  EXPECT_EQ(FileText(path), Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n");
  rig.model.Clear();
  EXPECT_EQ(FileText(path),
            Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n" + Stamp(1500) + "  05\r\n");
}

TEST(TimestampedTextLog, FollowsTheOptionFromTheNextLine) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  Rig rig(path, false);
  rig.Feed(0, {1, 2, 3});
  rig.options.bTimestampsInLog = true;
  rig.live.Publish();
  rig.Feed(200, {4, 5});
  rig.options.bTimestampsInLog = false;
  rig.live.Publish();
  rig.model.Clear();  // Clear writes as the option now stands
  EXPECT_EQ(FileText(path), " 01 02" + Stamp(0) + "  03 04\r\n" + " 05");
}

TEST(TimestampedCopyAll, EachLineBeginsWithItsTime) {
  TempDir dir;
  Rig rig(dir.File("text.log"), false);
  rig.Feed(0, {1, 2, 3});
  rig.Feed(61'000, {4, 5});
  EXPECT_EQ(rig.model.CopyAllText(true),
            Stamp(0) + "  01 02\r\n" + Stamp(0) + "  03 04\r\n" + Stamp(61'000) + "  05\r\n");
  EXPECT_EQ(rig.model.CopyAllText(false), " 01 02\r\n 03 04\r\n 05\r\n");
  rig.model.Clear();
  EXPECT_EQ(rig.model.CopyAllText(true), "");
}

// Options off (or only the gutter on): the log and Copy All hold exactly what
// a model without options makes of the same bytes, whatever the times and
// pauses of the reads.
struct OffCase {
  const char* name;
  std::int32_t nFormat;
  std::int32_t nLengthIndex;
  std::int32_t nColumns;
  std::int32_t nRows;
  std::string input;
  std::string log;   // after a final Clear
  std::string copy;  // before it
};

class OptionsOff : public ::testing::TestWithParam<OffCase> {};

TEST_P(OptionsOff, LogAndCopyAllAreByteForByteAsWithoutOptions) {
  const OffCase& c = GetParam();
  for (bool showTimestamps : {false, true}) {
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
    options.bShowTimestamps = showTimestamps;
    LiveSettings live(settings, options);
    ScreenModel model(live, nullptr);
    // One byte per read, with long and short pauses between them.
    for (std::size_t i = 0; i < c.input.size(); ++i) {
      const auto b = static_cast<std::uint8_t>(c.input[i]);
      model.AddReceivedBytes(&b, 1, At(static_cast<std::int64_t>(i * i) * 100));
    }
    EXPECT_EQ(model.CopyAllText(), c.copy) << "gutter " << showTimestamps;
    model.Clear();
    EXPECT_EQ(FileText(dir.File("text.log")), c.log) << "gutter " << showTimestamps;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, OptionsOff,
    ::testing::Values(
        OffCase{"Hex", kFormatHex, 0, 2, 8, "\x01\x02\x03\x04\x05", " 01 02 03 04 05",
                " 01 02\r\n 03 04\r\n 05\r\n"},
        OffCase{"Dec2", kFormatDec, 1, 1, 8, "\xFF\x7F\x01\x05", " -129 261", " -129\r\n 261\r\n"},
        OffCase{"LineMode", kFormatText, 0, 0, 8, "AB\r\nPQ\r\n", "ABPQ", "AB\r\nPQ\r\n\r\n"},
        OffCase{"TextColumns", kFormatText, 0, 4, 8, "AB\r\nP", "AB\r\nP", "AB\r\n\r\nP\r\n"},
        OffCase{"SingleRow", kFormatText, 0, 2, 1, "ABCDE", "ABCDE", "E\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
