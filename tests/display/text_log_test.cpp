// The formatted-text log written by the screen model, and the raw log as the
// port worker writes it through OutputFile next to the model.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "display/output_file.h"
#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<std::uint8_t>;

std::string FileText(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

SETTINGS TextLogSettings(std::int32_t format, std::int32_t columns, std::int32_t rows,
                         const std::string& path) {
  SETTINGS s = DefaultSettings();
  s.nUnitFormatIndex = format;
  s.nColumns = columns;
  s.nRows = rows;
  s.bSaveText = 1;
  std::snprintf(s.szTextFile, sizeof s.szTextFile, "%s", path.c_str());
  return s;
}

TEST(TextLog, LinesAreWrittenWhenClosedAndThePendingLineByClear) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  SETTINGS settings = TextLogSettings(kFormatHex, 2, 8, path);
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  model.AddReceivedByte(0x01);
  EXPECT_TRUE(std::filesystem::exists(path)) << "created empty by the first unit";
  EXPECT_EQ(FileText(path), "");
  model.AddReceivedByte(0x02);
  model.AddReceivedByte(0x03);
  EXPECT_EQ(FileText(path), " 01 02");
  model.AddReceivedByte(0x04);
  model.AddReceivedByte(0x05);
  EXPECT_EQ(FileText(path), " 01 02 03 04");
  model.Clear();
  EXPECT_EQ(FileText(path), " 01 02 03 04 05");
  model.Clear();  // the cleared line is not written again
  EXPECT_EQ(FileText(path), " 01 02 03 04 05");
}

TEST(TextLog, ClearWritesOnlyTheLineNotWrittenYet) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  SETTINGS settings = TextLogSettings(kFormatHex, 2, 8, path);
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {1, 2, 3}) model.AddReceivedByte(b);
  ASSERT_EQ(model.Lines(), (std::vector<std::string>{" 01 02", " 03"}));
  model.Clear();
  EXPECT_EQ(FileText(path), " 01 02 03");
}

struct LogCase {
  const char* name;
  std::int32_t nFormat;
  std::int32_t nColumns;
  std::int32_t nRows;
  std::string input;
  std::string expected;  // after a final Clear, as at program exit
  DisplayOptions options = {};
};

// The text options: encoding, ANSI colours, control characters, escapes kept.
DisplayOptions Reading(TextEncoding encoding, bool ansi, ControlCharacters controls,
                       bool keepEscapes) {
  DisplayOptions options;
  options.textEncoding = encoding;
  options.bAnsiColours = ansi;
  options.controlCharacters = controls;
  options.bTextLogKeepsEscapes = keepEscapes;
  return options;
}

class TextLogContents : public ::testing::TestWithParam<LogCase> {};

TEST_P(TextLogContents, AfterInputAndClear) {
  const LogCase& c = GetParam();
  for (bool oneRun : {false, true}) {
    TempDir dir;
    const std::string path = dir.File("text.log");
    SETTINGS settings = TextLogSettings(c.nFormat, c.nColumns, c.nRows, path);
    LiveSettings live(settings, c.options);
    ScreenModel model(live, nullptr);
    const Bytes input = Text(c.input);
    if (oneRun) {
      model.AddReceivedBytes(input.data(), input.size());
    } else {
      for (std::uint8_t b : input) model.AddReceivedByte(b);
    }
    model.Clear();
    EXPECT_EQ(FileText(path), c.expected) << (oneRun ? "one run" : "byte by byte");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TextLogContents,
    ::testing::Values(
        LogCase{"LineModeDropsLineBreaks", kFormatText, 0, 8, "AB\r\nPQ\r\n", "ABPQ"},
        LogCase{"ColumnsKeepEveryByte", kFormatText, 4, 8, "AB\r\nP", "AB\r\nP"},
        LogCase{"ZeroBytesReachTheFile", kFormatText, 2, 8, std::string("a\0b\0c", 5),
                std::string("a\0b\0c", 5)},
        // With a single row the closing line is written before the trimming
        // drops it; otherwise all but the last line would never reach the file.
        LogCase{"SingleRowLosesNothing", kFormatText, 2, 1, "ABCDE", "ABCDE"},
        LogCase{"SingleRowLineModeLosesNothing", kFormatText, 0, 1, "A\rB\r\nC", "ABC"},
        LogCase{"ZeroRowsLosesNothing", kFormatText, 1, 0, "XYZ", "XYZ"},
        LogCase{"OneUnitPerLineWithNegativeColumns", kFormatText, -1, 1, "XYZ", "XYZ"},
        // Decoded text: the characters as shown, without escape sequences,
        // in UTF-8 unless the encoding is the code page.
        LogCase{"Utf8TextWithoutItsEscapes", kFormatText, 0, 8,
                "\x1B[31m\xC3\xA9\x1B[0m\r\nx\xFF\x1B]0;t\x07", "\xC3\xA9x\\xFF",
                Reading(TextEncoding::kUtf8, true, ControlCharacters::kAsIs, false)},
        LogCase{"EscapesKeptForLessR", kFormatText, 0, 8, "\x1B[31m\xC3\xA9\x1B[0m\r\nx\x1B[K",
                "\x1B[31m\xC3\xA9\x1B[0mx\x1B[K",
                Reading(TextEncoding::kUtf8, true, ControlCharacters::kAsIs, true)},
        LogCase{"ColoursInTheCodePageLogItsBytes", kFormatText, 0, 8, "\x1B[1m\x80\xE9\x1B[0m!",
                "\x80\xE9!", Reading(TextEncoding::kCp1252, true, ControlCharacters::kAsIs, false)},
        LogCase{"PicturesInTheCodePageLogTheirBytes", kFormatText, 16, 8, "a\x01\tb\x7F",
                "a\x01      b\x7F",
                Reading(TextEncoding::kCp1252, false, ControlCharacters::kPictures, false)},
        LogCase{"Cp437LogsUtf8", kFormatText, 0, 8, "\xC9\xCD\xBB",
                "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x97",
                Reading(TextEncoding::kCp437, false, ControlCharacters::kAsIs, false)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextLog, SingleRowHexWritesEveryLineOnce) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  SETTINGS settings = TextLogSettings(kFormatHex, 2, 1, path);
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {1, 2, 3, 4, 5}) model.AddReceivedByte(b);
  EXPECT_EQ(model.Lines(), std::vector<std::string>{" 05"});
  EXPECT_EQ(FileText(path), " 01 02 03 04");
  model.Clear();
  EXPECT_EQ(FileText(path), " 01 02 03 04 05");
}

TEST(TextLog, AppendsToWhatTheFileHeldAcrossModels) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  WriteBytes(path, Text("earlier run|"));
  SETTINGS settings = TextLogSettings(kFormatText, 0, 8, path);
  {
    LiveSettings live(settings);
    ScreenModel model(live, nullptr);
    const Bytes input = Text("one\r\ntwo");
    model.AddReceivedBytes(input.data(), input.size());
    model.Clear();
  }
  LiveSettings nextLive(settings);
  ScreenModel next(nextLive, nullptr);
  next.AddReceivedByte('3');
  next.Clear();
  EXPECT_EQ(FileText(path), "earlier run|onetwo3");
}

TEST(TextLog, FollowsAChangedPath) {
  TempDir dir;
  SETTINGS settings = TextLogSettings(kFormatText, 1, 8, dir.File("first.log"));
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  const Bytes input = Text("ABC");
  model.AddReceivedBytes(input.data(), input.size());  // A written when B started, B when C did
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                dir.File("second.log").c_str());
  live.Publish();
  model.AddReceivedByte('D');
  EXPECT_EQ(FileText(dir.File("first.log")), "AB");
  EXPECT_EQ(FileText(dir.File("second.log")), "C");
}

class UnopenableTextLog : public ::testing::TestWithParam<const char*> {};

TEST_P(UnopenableTextLog, LeavesTheDisplayUnaffectedAndRetries) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  const std::string param = GetParam();
  const std::string path = param.empty() ? std::string() : dir.File(param);
  SETTINGS settings = TextLogSettings(kFormatHex, 3, 4, path);
  SETTINGS plain = settings;
  plain.bSaveText = 0;
  LiveSettings loggedLive(settings);
  ScreenModel logged(loggedLive, nullptr);
  LiveSettings referenceLive(plain);
  ScreenModel reference(referenceLive, nullptr);
  for (int i = 0; i < 40; ++i) {
    logged.AddReceivedByte(static_cast<std::uint8_t>(i));
    reference.AddReceivedByte(static_cast<std::uint8_t>(i));
  }
  EXPECT_EQ(logged.Lines(), reference.Lines());
  EXPECT_EQ(logged.UnitsOnLine(), reference.UnitsOnLine());
  logged.Clear();
  EXPECT_EQ(logged.LineCount(), 0u);
  if (!param.empty() && param != "folder") {
    EXPECT_FALSE(std::filesystem::exists(path));
    // The folder appears: the next closed line reaches the file.
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    for (std::uint8_t b : {1, 2, 3, 4}) logged.AddReceivedByte(b);
    EXPECT_EQ(FileText(path), " 01 02 03");
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, UnopenableTextLog,
                         ::testing::Values("", "missing/text.log", "folder"));

TEST(TextLog, PathWithoutTerminatingZeroIsNotReadPastItsBuffer) {
  SETTINGS settings = TextLogSettings(kFormatHex, 1, 4, "");
  std::memset(settings.szTextFile, 'a', sizeof settings.szTextFile);
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {1, 2, 3}) model.AddReceivedByte(b);
  model.Clear();
  EXPECT_EQ(model.LineCount(), 0u);
}

// The raw log as the port worker writes it: each byte before the model sees it.
TEST(RawLog, GrowsByEveryByteBeforeTheUnitIsComplete) {
  TempDir dir;
  const std::string path = dir.File("raw.bin");
  WriteBytes(path, Bytes(100, 0x55));
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nUnitLengthIndex = 3;
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  OutputFile rawLog;
  const Bytes received = {0xA1, 0xA2, 0xA3};
  for (std::size_t i = 0; i < received.size(); ++i) {
    EXPECT_TRUE(rawLog.Append(path.c_str(), &received[i], 1));
    model.AddReceivedByte(received[i]);
    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 101 + i);
    EXPECT_EQ(bytes[100 + i], received[i]);
  }
  EXPECT_EQ(model.LineCount(), 0u);
}

TEST(RawLog, MissingFolderCostsTheDataButNotTheDisplay) {
  TempDir dir;
  const std::string path = dir.File("missing/raw.bin");
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  OutputFile rawLog;
  for (std::uint8_t b : {1, 2}) {
    EXPECT_FALSE(rawLog.Append(path.c_str(), &b, 1));
    model.AddReceivedByte(b);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_EQ(model.Lines(), std::vector<std::string>{" 01 02"});
}

}  // namespace
}  // namespace tarnwick
