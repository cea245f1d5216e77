// The received-byte counter and the screen after a Clear, and the raw log as
// its settings change: the worker with a real screen model and real files.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "display/log_failures.h"
#include "display/screen_model.h"
#ifndef _WIN32
#include "support/file_limits.h"
#endif
#include "support/temp_dir.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

// One-byte HEX units, 16 to a line, rows enough for everything: the screen
// shows each received byte as three characters.
void UseHexScreen(SETTINGS& s) {
  s.nUnitFormatIndex = kFormatHex;
  s.nUnitLengthIndex = 0;
  s.nColumns = 16;
  s.nRows = 100000;
}

std::size_t BytesOnScreen(const ScreenModel& model) {
  std::size_t bytes = 0;
  for (const DisplayLine& line : model.Lines()) bytes += line.size() / 3;
  return bytes;
}

// A batch is counted, then logged raw, then shown. The raw log's report that
// it stopped (or started again) writing comes between the count and the
// screen, so a Clear made from that report lands exactly there: the batch
// must reach the cleared screen and stay counted.
TEST(PortWorkerCounters, ClearBetweenCountAndScreenKeepsCounterAndScreenInStep) {
  TempDir dir;
  WorkerRig rig;
  UseHexScreen(rig.settings);
  rig.settings.bSaveRaw = 1;
  const std::string rawPath = dir.File("later/raw.bin");
  std::strcpy(rig.settings.szRawFile, rawPath.c_str());
  rig.live.Publish();
  ScreenModel model(rig.live, nullptr);
  rig.worker.m_pView.store(&model);
  LogFailures failures;
  rig.worker.SetLogFailures(&failures);
  // What the view's Clear does, on the worker thread in the middle of a batch.
  std::atomic<int> clears{0};
  failures.SetListener([&] {
    model.Clear([&](std::uint32_t bytesTaken) { rig.worker.ResetCounters(bytesTaken); });
    ++clears;
  });
  rig.worker.Start();

  rig.serial.Feed(std::vector<std::uint8_t>(40, 0x11));  // the log fails: a Clear
  ASSERT_TRUE(Eventually([&] { return BytesOnScreen(model) == 40; }));
  EXPECT_EQ(clears, 1);
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), 40);

  std::filesystem::create_directory(dir.File("later"));
  rig.serial.Feed(std::vector<std::uint8_t>(7, 0x22));  // the log works again: a Clear
  ASSERT_TRUE(Eventually([&] { return clears == 2 && BytesOnScreen(model) == 7; }));
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), 7);

  rig.serial.Feed(std::vector<std::uint8_t>(5, 0x33));  // nothing changes: no Clear
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 12; }));
  rig.worker.Stop();
  EXPECT_EQ(clears, 2);
  EXPECT_EQ(BytesOnScreen(model), 12u);
  EXPECT_EQ(ReadBytes(rawPath).size(), 12u);

  // A Clear with nothing in flight empties both.
  failures.SetListener({});
  model.Clear([&](std::uint32_t bytesTaken) { rig.worker.ResetCounters(bytesTaken); });
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), 0);
  EXPECT_EQ(BytesOnScreen(model), 0u);
}

#ifndef _WIN32  // counts the descriptors under /proc
TEST(PortWorkerRawLog, SwitchedOffIsClosedAtTheNextBatch) {
  TempDir dir;
  WorkerRig rig;
  UseHexScreen(rig.settings);
  rig.settings.bSaveRaw = 1;
  const std::string rawPath = dir.File("raw.bin");
  std::strcpy(rig.settings.szRawFile, rawPath.c_str());
  rig.live.Publish();
  rig.worker.Start();
  rig.serial.Feed({1, 2, 3});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 3; }));
  EXPECT_EQ(DescriptorsOpenOn(rawPath), 1);

  rig.settings.bSaveRaw = 0;
  rig.live.Publish();
  rig.serial.Feed({4});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 4; }));
  EXPECT_EQ(DescriptorsOpenOn(rawPath), 0);
  rig.worker.Stop();
  EXPECT_EQ(ReadBytes(rawPath), (std::vector<unsigned char>{1, 2, 3}));
}
#endif

}  // namespace
}  // namespace tarnwick::testing
