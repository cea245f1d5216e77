// Lines of both directions: each line is of one direction, a change of
// direction ends the line, each direction assembles its own units; with the
// prefixes on, Copy All and the text log mark every line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

struct Step {
  char direction;  // '<' received, '>' sent
  std::string bytes;
};

SETTINGS Settings(std::int32_t format, std::int32_t unitLength, std::int32_t columns,
                  const std::string& textLog) {
  SETTINGS s = DefaultSettings();
  s.nUnitFormatIndex = format;
  s.nUnitLengthIndex = unitLength - 1;
  s.nColumns = columns;
  s.nRows = 100;
  s.bSaveText = 1;
  std::snprintf(s.szTextFile, sizeof s.szTextFile, "%s", textLog.c_str());
  return s;
}

// How a model with only received data shows bytes: the oracle for a line's text.
std::string Shown(SETTINGS settings, const std::string& bytes) {
  settings.bSaveText = 0;
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  model.AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return model.Lines().empty() ? std::string() : model.Lines().back();
}

TEST(Directions, AChangeEndsTheLineAndUnitsAreAssembledPerDirection) {
  const struct {
    const char* rule;
    std::int32_t format, unitLength, columns;
    std::vector<Step> steps;
    // Each line: its direction, then the bytes whose display it shows.
    std::vector<Step> lines;
  } cases[] = {
      {"a change of direction ends the line",
       kFormatText,
       1,
       16,
       {{'<', "abc"}, {'>', "xy"}, {'<', "d"}},
       {{'<', "abc"}, {'>', "xy"}, {'<', "d"}}},
      {"the same direction goes on on its line",
       kFormatText,
       1,
       16,
       {{'>', "ab"}, {'>', "cd"}, {'<', "e"}},
       {{'>', "abcd"}, {'<', "e"}}},
      {"a full line ends before the change",
       kFormatText,
       1,
       2,
       {{'<', "abc"}, {'>', "d"}},
       {{'<', "ab"}, {'<', "c"}, {'>', "d"}}},
      {"a unit is never split across directions",
       kFormatHex,
       2,
       8,
       {{'<', "\x01"}, {'>', "\x02\x03"}, {'<', "\x04"}, {'>', "\x05"}},
       {{'>', "\x02\x03"}, {'<', "\x01\x04"}}},
      {"line mode: a line a LF started takes the next direction",
       kFormatText,
       1,
       0,
       {{'<', "OK\r\n"}, {'>', "AT\r"}, {'<', "\nER"}},
       {{'<', "OK"}, {'>', "AT"}, {'<', "ER"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rule);
    testing::TempDir dir;
    const SETTINGS settings = Settings(c.format, c.unitLength, c.columns, dir.File("text.log"));
    LiveSettings live(settings);
    ScreenModel model(live, nullptr);
    model.SetDirectionPrefixes(true);
    for (const Step& step : c.steps) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(step.bytes.data());
      if (step.direction == '>') {
        model.AddSentBytes(data, step.bytes.size(), ReadTime::Now());
      } else {
        model.AddReceivedBytes(data, step.bytes.size(), ReadTime::Now());
      }
    }
    std::vector<std::string> expected, shown;
    std::string marked;
    for (const Step& line : c.lines) {
      const std::string text = Shown(settings, line.bytes);
      expected.push_back(line.direction + text);
      marked += line.direction + std::string(" ") + text + "\r\n";
    }
    const std::vector<DisplayLine> lines = model.Lines();
    const std::vector<LineDirection> directions = model.LineDirections();
    for (std::size_t i = 0; i < lines.size(); ++i)
      shown.push_back((directions[i] == LineDirection::kSent ? '>' : '<') + lines[i]);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(model.CopyAllText(), marked);
    model.Clear();  // writes the last line to the text log
    const auto log = testing::ReadBytes(dir.File("text.log"));
    EXPECT_EQ(std::string(log.begin(), log.end()), marked);
  }
}

// Without a sent source the outputs are exactly as without directions.
TEST(Directions, WithoutPrefixesCopyAllAndTheTextLogAreAsBefore) {
  testing::TempDir dir;
  const SETTINGS settings = Settings(kFormatText, 1, 2, dir.File("text.log"));
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  const std::string bytes = "abcde";
  model.AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                         ReadTime::Now());
  EXPECT_EQ(model.CopyAllText(), "ab\r\ncd\r\ne\r\n");
  model.Clear();
  const auto log = testing::ReadBytes(dir.File("text.log"));
  EXPECT_EQ(std::string(log.begin(), log.end()), "abcde");
}

}  // namespace
}  // namespace tarnwick
