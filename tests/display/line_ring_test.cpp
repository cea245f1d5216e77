// The line ring against a plain deque of lines: random appends, drops, time
// and layout changes and clears, checked line by line after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>

#include "display/line_ring.h"

namespace tarnwick {
namespace {

struct ReferenceLine {
  std::string text;
  std::string bytes;
  LineTime time;
  LineDirection direction;
  TextColumnLayout layout;
};

struct Case {
  const char* name;
  std::size_t rows;      // lines kept; older ones are dropped
  int maxPiece;          // bytes of one append
  int maxPieces;         // appends to one line
  LineTime maxStep;      // milliseconds between lines, either way
  int replacePercent;    // appends that replace the line's text instead
  int clearPerThousand;  // lines followed by a clear
};

void ExpectSame(const LineRing& ring, const std::deque<ReferenceLine>& lines,
                std::uint64_t firstNumber, const Case& c, int step) {
  ASSERT_EQ(ring.size(), lines.size()) << c.name << " step " << step;
  ASSERT_EQ(ring.FirstNumber(), firstNumber) << c.name << " step " << step;
  std::size_t widest = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(ring.Text(i), lines[i].text) << c.name << " step " << step << " line " << i;
    ASSERT_EQ(ring.Bytes(i), lines[i].bytes) << c.name << " step " << step << " line " << i;
    ASSERT_EQ(ring.TimeAt(i), lines[i].time) << c.name << " step " << step << " line " << i;
    ASSERT_EQ(ring.Direction(i), lines[i].direction) << c.name << " step " << step;
    ASSERT_EQ(ring.LayoutAt(i), lines[i].layout) << c.name << " step " << step << " line " << i;
    widest = std::max(widest, lines[i].text.size());
  }
  ASSERT_EQ(ring.Widest(), widest) << c.name << " step " << step;
}

TEST(LineRing, KeepsWhatADequeOfLinesKeeps) {
  const Case cases[] = {
      {"short lines wrap round a small screen", 7, 9, 6, 40, 0, 0},
      {"a line grows past the buffer's end and moves", 3, 700, 12, 5, 0, 0},
      {"a lone line moves and grows", 1, 900, 10, 5, 5, 0},
      {"a long history grows the buffers", 100000, 30, 4, 3, 0, 0},
      {"past 16 MiB the buffers grow by a quarter", 1500, 24000, 2, 3, 0, 0},
      {"empty and replaced lines", 12, 3, 3, 2, 30, 0},
      {"times jump by weeks: new time bases", 9, 20, 3, LineTime{1} << 31, 0, 0},
      {"clears between lines", 15, 60, 5, 100, 0, 20},
  };
  for (const Case& c : cases) {
    std::mt19937 random(22);
    const auto below = [&](std::int64_t n) {
      return static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(n));
    };
    LineRing ring;
    std::deque<ReferenceLine> lines;
    std::uint64_t firstNumber = 0;
    TextColumnLayout layout{1, 1, 16};
    LineTime time = 1'765'000'000'000;
    for (int step = 0; step < 3000; ++step) {
      time += below(2 * c.maxStep + 1) - c.maxStep;
      const auto direction = below(4) == 0 ? LineDirection::kSent : LineDirection::kReceived;
      while (lines.size() >= c.rows) {
        ring.pop_front();
        lines.pop_front();
        ++firstNumber;
      }
      ring.push_back_empty(time, direction);
      ring.SetBackLayout(layout);
      // Now and then other settings, given once or changed again at once.
      for (std::int64_t change = below(8) == 0 ? below(3) + 1 : 0; change > 0; --change) {
        layout =
            TextColumnLayout{static_cast<std::int32_t>(below(3)), 1 + static_cast<int>(below(2)),
                             static_cast<std::int32_t>(below(3)) * 8};
        ring.SetBackLayout(layout);
      }
      lines.push_back(ReferenceLine{"", "", time, direction, layout});
      for (std::int64_t piece = below(c.maxPieces + 1); piece > 0; --piece) {
        std::string text(static_cast<std::size_t>(below(c.maxPiece + 1)), ' ');
        const auto first = below(256);
        for (std::size_t k = 0; k < text.size(); ++k) text[k] = static_cast<char>(first + 31 * k);
        const std::string bytes = text.substr(0, text.size() / 2);
        if (below(100) < c.replacePercent) {
          ring.SetBackText(text);
          lines.back().text = text;
        } else {
          ring.AppendText(text);
          lines.back().text += text;
        }
        ring.AppendBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        lines.back().bytes += bytes;
      }
      if (below(3) == 0) {
        time += below(c.maxStep + 1);
        ring.SetBackTime(time);
        lines.back().time = time;
      }
      if (below(1000) < c.clearPerThousand) {
        ring.clear();
        firstNumber += lines.size();
        lines.clear();
      }
      // The long histories are checked now and then: a full check is a walk.
      if (c.rows < 1000 || step % 100 == 0 || step == 2999)
        ExpectSame(ring, lines, firstNumber, c, step);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace tarnwick
