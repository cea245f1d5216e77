// The record as other threads see it: whole records only, taken once per change.
#include "settings/live_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace tarnwick {
namespace {

TEST(LiveSettings, ReaderTakesAPublishedRecordOnceAndOnlyWhenItChanged) {
  SETTINGS record = DefaultSettings();
  LiveSettings live(record);
  SettingsSnapshot snapshot(live);
  EXPECT_EQ(snapshot.Get().nColumns, 8);
  EXPECT_FALSE(snapshot.Refresh());

  record.nColumns = 3;  // not yet published
  EXPECT_FALSE(snapshot.Refresh());
  EXPECT_EQ(snapshot.Get().nColumns, 8);

  live.Publish();
  EXPECT_TRUE(snapshot.Refresh());
  EXPECT_EQ(snapshot.Get().nColumns, 3);
  EXPECT_FALSE(snapshot.Refresh());
  EXPECT_EQ(live.Current().nColumns, 3);
}

// The display options travel with the record: one Publish, one version.
TEST(LiveSettings, OptionsArePublishedWithTheRecord) {
  SETTINGS record = DefaultSettings();
  DisplayOptions options;
  LiveSettings live(record, options);
  SettingsSnapshot snapshot(live);
  EXPECT_EQ(snapshot.Options(), DisplayOptions{});

  options.bShowTimestamps = true;
  options.nPauseBreakMs = 250;
  record.nRows = 5;
  EXPECT_FALSE(snapshot.Refresh());
  EXPECT_EQ(live.CurrentOptions(), DisplayOptions{});

  live.Publish();
  EXPECT_TRUE(snapshot.Refresh());
  EXPECT_EQ(snapshot.Options(), options);
  EXPECT_EQ(snapshot.Get().nRows, 5);
  EXPECT_EQ(live.CurrentOptions(), options);

  // Without options of its own a reader sees every option off.
  LiveSettings plain(record);
  EXPECT_EQ(SettingsSnapshot(plain).Options(), DisplayOptions{});
}

// A path and the flags that go with it always arrive together: the reader
// never sees half of one path and half of another.
TEST(LiveSettings, ReaderNeverSeesATornRecord) {
  SETTINGS record = DefaultSettings();
  LiveSettings live(record);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    SettingsSnapshot snapshot(live);
    while (!done.load()) {
      if (!snapshot.Refresh()) continue;
      const SETTINGS& s = snapshot.Get();
      const char expected = s.nRows == 1 ? 'a' : 'b';
      if (s.nRows != 8 &&
          (s.szRawFile[0] != expected || s.szRawFile[1022] != expected || s.bSaveRaw != s.nRows)) {
        ++torn;
      }
    }
  });
  for (int i = 0; i < 20000; ++i) {
    const bool first = i % 2 == 0;
    record.nRows = first ? 1 : 2;
    record.bSaveRaw = record.nRows;
    std::memset(record.szRawFile, first ? 'a' : 'b', kPathBufferSize - 1);
    live.Publish();
  }
  done.store(true);
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace tarnwick
