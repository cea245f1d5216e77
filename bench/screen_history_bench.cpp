// The screen model holding a long history: fills it with LINES lines of 16
// HEX 1-byte units (Rows = LINES), as the port worker hands 4 KiB runs over,
// then reports the resident memory that took, what one line costs, and the
// time of a frame's read of 25 rows, Copy All and Clear.
//
// Usage: screen_history_bench [LINES]   (1000000 unless given)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "display/screen_model.h"

namespace {

// Resident memory of this process in kB.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnwick;
  const long lines = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatHex;
  settings.nUnitLengthIndex = 0;
  settings.nColumns = 16;
  settings.nRows = static_cast<std::int32_t>(lines);
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);

  std::vector<std::uint8_t> run(4096);
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i * 7);
  const long before = ResidentKb();
  auto start = std::chrono::steady_clock::now();
  const std::size_t total = static_cast<std::size_t>(lines) * 16;
  for (std::size_t sent = 0; sent < total; sent += run.size()) {
    model.AddReceivedBytes(run.data(), std::min(run.size(), total - sent));
  }
  const double fillMs = MsSince(start);
  const long after = ResidentKb();
  std::printf("lines %zu, filled in %.0f ms\n", model.LineCount(), fillMs);
  std::printf("resident: %ld kB before, %ld kB after: %.1f MB for the lines, %.1f bytes a line\n",
              before, after, (after - before) / 1024.0,
              1024.0 * static_cast<double>(after - before) / static_cast<double>(lines));
  const LineRing::Footprint storage = model.LineStorage();
  const auto perLine = [&](std::size_t bytes) {
    return static_cast<double>(bytes) / static_cast<double>(lines);
  };
  std::printf(
      "reserved: text %.1f MB (%.1f a line), unit bytes %.1f MB (%.1f a line), line records "
      "%.1f MB (%.1f a line)\n",
      storage.text / 1048576.0, perLine(storage.text), storage.bytes / 1048576.0,
      perLine(storage.bytes), storage.lines / 1048576.0, perLine(storage.lines));

  // A frame's read: the 25 rows at the end, and the document's extent.
  start = std::chrono::steady_clock::now();
  std::size_t seen = 0;
  const int frames = 1000;
  for (int i = 0; i < frames; ++i) {
    model.VisitRows(model.LineCount() - 25, 25,
                    [&](std::size_t, std::string_view line, LineTime) { seen += line.size(); }, {});
  }
  std::printf("frame's read of 25 rows: %.3f us (%zu bytes seen)\n", 1000 * MsSince(start) / frames,
              seen);

  start = std::chrono::steady_clock::now();
  const std::string copy = model.CopyAllText();
  std::printf("Copy All: %.0f ms, %zu bytes\n", MsSince(start), copy.size());

  start = std::chrono::steady_clock::now();
  model.Clear();
  std::printf("Clear: %.0f ms, %zu lines left\n", MsSince(start), model.LineCount());
  return 0;
}
