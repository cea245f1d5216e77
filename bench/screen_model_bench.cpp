// How fast received bytes become display lines: 16 MiB per iteration in 4 KiB
// runs, as the port worker hands them over, with the text log off and on, and
// with the display options off and all on (times in the log, a new line
// after a pause of 1 ms, each run 2 ms after the previous one); TEXT also
// through the text stage (UTF-8 and ANSI colours) on the same bytes.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace tarnwick {
namespace {

constexpr std::size_t kTotalBytes = 16u << 20;
constexpr std::size_t kRunBytes = 4096;

std::vector<std::uint8_t> ReceivedData(bool text) {
  std::vector<std::uint8_t> data(kTotalBytes);
  std::mt19937 random(7);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (text) {
      // Printable lines of 20 to 80 characters ended by CR LF.
      data[i] = static_cast<std::uint8_t>(' ' + random() % 95);
      if (random() % 50 == 0 && i + 1 < data.size()) {
        data[i] = '\r';
        data[++i] = '\n';
      }
    } else {
      data[i] = static_cast<std::uint8_t>(random());
    }
  }
  return data;
}

class TempLog {
 public:
  TempLog() {
    char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd >= 0) ::close(fd);
    m_path = pattern;
  }
  ~TempLog() { ::unlink(m_path.c_str()); }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

void FeedScreenModel(benchmark::State& state, std::int32_t format, std::int32_t lengthIndex,
                     std::int32_t columns, bool decoded = false) {
  const bool saveText = state.range(0) != 0;
  const bool options = state.range(1) != 0;
  const auto data = ReceivedData(format == kFormatText);
  TempLog log;
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = format;
  settings.nUnitLengthIndex = lengthIndex;
  settings.nColumns = columns;
  settings.nRows = 25;
  settings.bSaveText = saveText;
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", log.path().c_str());
  DisplayOptions displayOptions;
  displayOptions.bShowTimestamps = options;
  displayOptions.bTimestampsInLog = options;
  displayOptions.nPauseBreakMs = options ? 1 : 0;
  if (decoded) {
    displayOptions.textEncoding = TextEncoding::kUtf8;
    displayOptions.bAnsiColours = true;
  }
  LiveSettings live(settings, displayOptions);
  ScreenModel model(live, nullptr);
  ReadTime time = ReadTime::Now();
  for (auto _ : state) {
    for (std::size_t offset = 0; offset < data.size(); offset += kRunBytes) {
      time.wall += std::chrono::milliseconds(2);
      time.steady += std::chrono::milliseconds(2);
      model.AddReceivedBytes(data.data() + offset, kRunBytes, time);
    }
    if (saveText) {
      // Keep the log from filling the disk: start each iteration on an empty file.
      state.PauseTiming();
      ::truncate(log.path().c_str(), 0);
      state.ResumeTiming();
    }
  }
  benchmark::DoNotOptimize(model.LineCount());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(data.size()));
}

void BM_Hex1Byte(benchmark::State& state) { FeedScreenModel(state, kFormatHex, 0, 16); }
void BM_Dec2Bytes(benchmark::State& state) { FeedScreenModel(state, kFormatDec, 1, 16); }
void BM_Float4Bytes(benchmark::State& state) { FeedScreenModel(state, kFormatFloat, 3, 16); }
void BM_TextLineMode(benchmark::State& state) { FeedScreenModel(state, kFormatText, 0, 0); }
void BM_TextDecoded(benchmark::State& state) { FeedScreenModel(state, kFormatText, 0, 0, true); }

BENCHMARK(BM_Hex1Byte)
    ->ArgNames({"textlog", "options"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dec2Bytes)
    ->ArgNames({"textlog", "options"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Float4Bytes)
    ->ArgNames({"textlog", "options"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextLineMode)
    ->ArgNames({"textlog", "options"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextDecoded)
    ->ArgNames({"textlog", "options"})
    ->ArgsProduct({{0, 1}, {0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
