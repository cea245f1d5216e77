// Once the screen has filled, receiving more data allocates nothing: dropped
// lines lend their storage to new ones and the text log reuses its buffer.
// Its own test program, because it replaces the global operator new.
#include <gtest/gtest.h>

#include <atomic>
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
    for (std::int32_t saveText : {0, 1}) {
      SETTINGS settings = DefaultSettings();
      settings.nUnitFormatIndex = c.nFormat;
      settings.nUnitLengthIndex = c.nLengthIndex;
      settings.nColumns = 16;
      settings.nRows = 25;
      settings.bSaveText = saveText;
      std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s",
                    dir.File("text.log").c_str());
      LiveSettings live(settings);
      ScreenModel model(live, nullptr);
      model.AddReceivedBytes(data.data(), data.size());  // fills the screen
      g_allocations = 0;
      g_counting = true;
      for (int round = 0; round < 4; ++round) {
        for (std::size_t offset = 0; offset < data.size(); offset += 4096) {
          model.AddReceivedBytes(data.data() + offset, 4096);
        }
        for (std::uint8_t b : data) model.AddReceivedByte(b);
      }
      g_counting = false;
      EXPECT_EQ(g_allocations.load(), 0) << "format " << c.nFormat << " text log " << saveText;
    }
  }
}

}  // namespace
}  // namespace tarnwick
