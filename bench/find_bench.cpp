// Find over 1,000,000 lines of 16 HEX units (48 characters), as a scrollback
// of Rows 1,000,000 holds them: the whole search from scratch, case-insensitive
// and with "Match case", the lines read in chunks under a lock as the view
// reads the screen model's. Target: at most 100 ms per search. Also reports
// the median hold of the lock per chunk.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "display/line_finder.h"
#include "display/unit_formatter.h"

namespace tarnwick {
namespace {

constexpr std::size_t kLines = 1'000'000;

class LockedLines : public FindSource {
 public:
  LockedLines() {
    std::mt19937 random(11);
    m_lines.resize(kLines);
    char unit[kUnitTextCapacity];
    for (std::string& line : m_lines) {
      for (int i = 0; i < 16; ++i) line.append(unit, FormatHexUnit(random() & 0xFF, 1, unit));
    }
  }
  Held VisitFrom(std::uint64_t from, std::size_t maxLines, const Visitor& visit) override {
    const auto start = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    const std::uint64_t end = std::min<std::uint64_t>(from + maxLines, m_lines.size());
    for (std::uint64_t line = from; line < end; ++line) visit(line, m_lines[line], false);
    m_holds.push_back(std::chrono::steady_clock::now() - start);
    return {0, m_lines.size()};
  }
  std::vector<std::chrono::steady_clock::duration> m_holds;

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

LockedLines& Lines() {
  static LockedLines lines;
  return lines;
}

void BM_FindMillionLines(benchmark::State& state) {
  LockedLines& lines = Lines();
  const bool matchCase = state.range(0) != 0;
  std::size_t count = 0;
  for (auto _ : state) {
    LineFinder finder;
    finder.SetPattern(matchCase ? "DE AD" : "de ad", matchCase);
    finder.Update(lines);
    count = finder.Count();
    benchmark::DoNotOptimize(count);
  }
  state.counters["matches"] = static_cast<double>(count);
  // The median hold: the longest is whatever the scheduler did meanwhile.
  auto& holds = lines.m_holds;
  std::nth_element(holds.begin(), holds.begin() + holds.size() / 2, holds.end());
  state.counters["median_hold_us"] =
      std::chrono::duration<double, std::micro>(holds[holds.size() / 2]).count();
  state.counters["holds"] = static_cast<double>(holds.size()) / state.iterations();
  holds.clear();
}
BENCHMARK(BM_FindMillionLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
