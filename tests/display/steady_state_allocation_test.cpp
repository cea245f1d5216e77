// Once the screen has filled, receiving more data allocates nothing: dropped
// lines lend their storage to new ones and the text log reuses its buffer.
// Its own test program, because it replaces the global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC pairs the inlined malloc above with these frees and warns of a mismatch
// that is not there: both sides of the replacement use malloc and free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tarnwick {
namespace {

struct Case {
  std::int32_t nFormat;
  std::int32_t nLengthIndex;
};

TEST(SteadyState, ReceivingAllocatesNothingOnceTheScreenIsFull) {
  testing::TempDir dir;
  std::vector<std::uint8_t> data(64 * 1024);
  std::mt19937 random(3);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  for (Case c : {Case{kFormatText, 0}, Case{kFormatHex, 0}, Case{kFormatBinary, 1},
                 Case{kFormatDec, 1}, Case{kFormatFloat, 3}}) {
    // Off, then every option on: timestamped log lines and a line break at
    // every read, each read coming 2 ms after the previous one.
    for (int variant = 0; variant < 4; ++variant) {
      const std::int32_t saveText = variant & 1;
      const bool options = variant >= 2;
      SETTINGS settings = DefaultSettings();
      settings.nUnitFormatIndex = c.nFormat;
      settings.nUnitLengthIndex = c.nLengthIndex;
      settings.nColumns = 16;
      settings.nRows = 25;
      settings.bSaveText = saveText;
      std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                    dir.File("text.log").c_str());
      DisplayOptions displayOptions;
      displayOptions.bShowTimestamps = options;
      displayOptions.bTimestampsInLog = options;
      displayOptions.nPauseBreakMs = options ? 1 : 0;
      LiveSettings live(settings, displayOptions);
      ScreenModel model(live, nullptr);
      ReadTime time = ReadTime::Now();
      const auto feed = [&](const std::uint8_t* bytes, std::size_t length) {
        time.wall += std::chrono::milliseconds(2);
        time.steady += std::chrono::milliseconds(2);
        model.AddReceivedBytes(bytes, length, time);
      };
      feed(data.data(), data.size());  // fills the screen
      for (std::size_t offset = 0; offset < data.size(); offset += 512) feed(&data[offset], 512);
      g_allocations = 0;
      g_counting = true;
      for (int round = 0; round < 4; ++round) {
        for (std::size_t offset = 0; offset < data.size(); offset += 4096) {
          feed(data.data() + offset, 4096);
        }
        for (std::size_t offset = 0; offset < data.size(); offset += 512) feed(&data[offset], 512);
        for (std::uint8_t b : data) model.AddReceivedByte(b);
      }
      g_counting = false;
      EXPECT_EQ(g_allocations.load(), 0)
          << "format " << c.nFormat << " text log " << saveText << " options " << options;
    }
  }
}

}  // namespace
}  // namespace tarnwick
