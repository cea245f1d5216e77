#include "display/line_ends.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/screen_model.h"
#include "settings/live_settings.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

// Reads, in order, through one rule; each byte becomes 't' (text), '|'
// (ends a line) or '-' (dropped).
std::string Classify(const std::vector<std::string>& reads, std::int32_t mode) {
  LineEndRule rule;
  std::string out;
  for (const std::string& read : reads) {
    for (const char c : read) {
      switch (rule.Next(static_cast<std::uint8_t>(c), mode)) {
        case LineEndRule::Byte::kText:
          out += 't';
          break;
        case LineEndRule::Byte::kEndLine:
          out += '|';
          break;
        case LineEndRule::Byte::kDropped:
          out += '-';
          break;
      }
    }
  }
  return out;
}

TEST(LineEnds, WhichBytesEndALine) {
  const struct {
    const char* name;
    std::vector<std::string> reads;
    std::int32_t mode;
    const char* bytes;
  } cases[] = {
      {"CR: CR ends, LF dropped", {"a\r\nb\nc\r"}, kLineEndsCr, "t|-t-t|"},
      {"any: CR LF is one end", {"a\r\nb"}, kLineEndsAny, "t|-t"},
      {"any: LF alone ends", {"a\nb\n"}, kLineEndsAny, "t|t|"},
      {"any: CR alone ends", {"a\rb"}, kLineEndsAny, "t|t"},
      {"any: LF CR ends two", {"a\n\rb"}, kLineEndsAny, "t||t"},
      {"any: CR LF split across reads", {"a\r", "\nb"}, kLineEndsAny, "t|-t"},
      {"any: CR CR LF LF", {"\r\r\n\n"}, kLineEndsAny, "||-|"},
      {"any: text between CR and LF", {"\rx\n"}, kLineEndsAny, "|t|"},
  };
  for (const auto& c : cases) EXPECT_EQ(Classify(c.reads, c.mode), c.bytes) << c.name;
}

// The rule in the screen model's TEXT line mode, with the text log's line
// ends: the screen, and the log once Clear has written the last line.
TEST(LineEnds, LinesOnTheScreenAndInTheTextLog) {
  const struct {
    const char* name;
    std::vector<std::string> reads;
    std::int32_t mode;
    bool logLineEnds;
    std::string copy, log;
  } cases[] = {
      {"CR, as before", {"a\nb\r\nc"}, kLineEndsCr, false, "ab\r\nc\r\n", "abc"},
      {"LF alone", {"a\nb\nc"}, kLineEndsAny, false, "a\r\nb\r\nc\r\n", "abc"},
      {"CR LF across reads", {"a\r", "\nb"}, kLineEndsAny, true, "a\r\nb\r\n", "a\r\nb\r\n"},
      {"LF CR ends two", {"a\n\rb"}, kLineEndsAny, true, "a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
      {"log line ends with CR", {"x\ry"}, kLineEndsCr, true, "x\r\ny\r\n", "x\r\ny\r\n"},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    SETTINGS settings = DefaultSettings();
    settings.nUnitFormatIndex = kFormatText;
    settings.nColumns = 0;
    settings.nRows = 100;
    settings.bSaveText = 1;
    const std::string path = dir.File("text.log");
    std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", path.c_str());
    DisplayOptions options;
    options.nLineEnds = c.mode;
    options.bTextLogLineEnds = c.logLineEnds;
    LiveSettings live(settings, options);
    ScreenModel model(live, nullptr);
    for (const std::string& read : c.reads) {
      model.AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(read.data()), read.size());
    }
    EXPECT_EQ(model.CopyAllText(), c.copy) << c.name;
    model.Clear();
    const auto bytes = testing::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.log) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
