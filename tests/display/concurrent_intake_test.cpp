// The port worker feeding the model while the user-interface thread paints,
// copies and clears: every reader sees whole lines, and Clear's log write
// and reset never interleave with a run.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

// A line of HEX units of one byte: " XX" repeated, at most `columns` times.
bool IsWholeHexLine(const std::string& line, int columns) {
  if (line.size() % 3 != 0 || line.size() / 3 > static_cast<std::size_t>(columns)) return false;
  for (std::size_t i = 0; i < line.size(); i += 3) {
    if (line[i] != ' ' || !std::isxdigit(static_cast<unsigned char>(line[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(line[i + 2])))
      return false;
  }
  return true;
}

TEST(ConcurrentIntake, ReadersAndClearSeeAConsistentModel) {
  testing::TempDir dir;
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nColumns = 5;
  settings.nRows = 6;
  settings.bSaveText = 1;
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                dir.File("text.log").c_str());
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);

  std::atomic<bool> stop{false};
  std::atomic<int> runs{0};
  std::thread worker([&] {
    std::vector<std::uint8_t> run(257);
    for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i);
    while (!stop.load()) {
      model.AddReceivedBytes(run.data(), run.size());
      model.AddReceivedByte(0x42);
      ++runs;
    }
  });

  int clears = 0;
  for (int i = 0; i < 2000 || runs.load() < 500 || clears < 20; ++i) {
    std::size_t count = 0;
    bool whole = true;
    model.VisitRows(
        0, static_cast<std::size_t>(settings.nRows) + 1,
        [&](std::size_t, std::string_view line, LineTime) {
          ++count;
          whole = whole && IsWholeHexLine(std::string(line), settings.nColumns);
        },
        [](const ScreenModel::Extent&) {
          return Rect{0, 20, 100, 40};
        });
    ASSERT_TRUE(whole);
    ASSERT_LE(count, static_cast<std::size_t>(settings.nRows));
    const std::string copy = model.CopyAllText();
    for (std::size_t start = 0; start < copy.size();) {
      const std::size_t end = copy.find("\r\n", start);
      ASSERT_NE(end, std::string::npos);
      ASSERT_TRUE(IsWholeHexLine(copy.substr(start, end - start), settings.nColumns));
      start = end + 2;
    }
    if (i % 50 == 0 && runs.load() > 0) {
      model.Clear();
      ++clears;
    }
  }
  stop = true;
  worker.join();
  model.Clear();

  // The log holds whole units only, each line exactly once and in order.
  const auto log = testing::ReadBytes(dir.File("text.log"));
  const std::string text(log.begin(), log.end());
  ASSERT_TRUE(!text.empty());
  EXPECT_EQ(text.size() % 3, 0u);
  for (std::size_t i = 0; i < text.size(); i += 3) ASSERT_EQ(text[i], ' ') << "offset " << i;
}

}  // namespace
}  // namespace tarnwick
