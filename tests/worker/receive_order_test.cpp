// Received bytes reach the counter, the raw log and the screen model in that
// order: whenever the model shows a byte, the counter and the raw log already
// hold it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "display/screen_model.h"
#include "support/temp_dir.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 131 + seed) >> 1);
  return bytes;
}

// The bytes behind display lines of one-byte HEX units (" 0A 41 ...").
std::vector<std::uint8_t> HexLinesToBytes(const std::vector<DisplayLine>& lines) {
  std::vector<std::uint8_t> bytes;
  for (const auto& line : lines) {
    for (std::size_t i = 0; i + 3 <= line.size(); i += 3) {
      bytes.push_back(static_cast<std::uint8_t>(std::stoul(line.substr(i + 1, 2), nullptr, 16)));
    }
  }
  return bytes;
}

void UseHexScreen(SETTINGS& s) {
  s.nUnitFormatIndex = 1;
  s.nUnitLengthIndex = 0;
  s.nColumns = 16;
  s.nRows = 100000;
}

// Checks, at every repaint the model asks for, what the model shows against
// the counter and the raw log.
class OrderCheckingSink : public RepaintSink {
 public:
  OrderCheckingSink(const PortWorker*& worker, const ScreenModel*& model, std::string rawPath)
      : m_worker(worker), m_model(model), m_rawPath(std::move(rawPath)) {}
  void InvalidateAll() override { Check(); }
  void InvalidateRect(const Rect&) override { Check(); }

  std::atomic<int> checks{0};
  std::atomic<int> violations{0};

 private:
  void Check() {
    const std::vector<std::uint8_t> shown = HexLinesToBytes(m_model->Lines());
    const auto raw = ReadBytes(m_rawPath);
    const std::int32_t counted = m_worker->m_nBytesRead.load();
    const bool logged =
        raw.size() >= shown.size() && std::equal(shown.begin(), shown.end(), raw.begin());
    if (!logged || counted != static_cast<std::int32_t>(raw.size())) ++violations;
    ++checks;
  }

  const PortWorker*& m_worker;
  const ScreenModel*& m_model;
  std::string m_rawPath;
};

TEST(PortWorkerReceive, CounterAndRawLogLeadTheModelAtEveryStep) {
  TempDir dir;
  const std::string rawPath = dir.File("raw.bin");
  const PortWorker* workerSeen = nullptr;
  const ScreenModel* modelSeen = nullptr;
  OrderCheckingSink checker(workerSeen, modelSeen, rawPath);

  WorkerRig rig;
  UseHexScreen(rig.settings);
  rig.settings.bSaveRaw = 1;
  std::strcpy(rig.settings.szRawFile, rawPath.c_str());
  rig.live.Publish();
  ScreenModel model(rig.live, &checker);
  workerSeen = &rig.worker;
  modelSeen = &model;
  rig.worker.m_pView.store(&model);
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));

  std::vector<std::uint8_t> sent;
  unsigned seed = 0;
  for (std::size_t chunk : {1u, 2u, 15u, 16u, 17u, 1000u, 40000u}) {
    const auto bytes = Pattern(chunk, ++seed);
    sent.insert(sent.end(), bytes.begin(), bytes.end());
    rig.serial.Feed(bytes);
    const auto total = static_cast<std::int32_t>(sent.size());
    ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == total; }));
    std::this_thread::sleep_for(5ms);
  }
  rig.worker.Stop();

  EXPECT_GE(checker.checks.load(), 7);
  EXPECT_EQ(checker.violations.load(), 0);
  EXPECT_EQ(ReadBytes(rawPath), std::vector<unsigned char>(sent.begin(), sent.end()));
  EXPECT_EQ(HexLinesToBytes(model.Lines()), sent);
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), static_cast<std::int32_t>(sent.size()));
}

TEST(PortWorkerReceive, RawLogTakesBytesOfAnIncompleteUnit) {
  TempDir dir;
  WorkerRig rig;
  UseHexScreen(rig.settings);
  rig.settings.nUnitLengthIndex = 3;
  rig.settings.bSaveRaw = 1;
  const std::string rawPath = dir.File("raw.bin");
  WriteBytes(rawPath, std::vector<unsigned char>(100, 'x'));
  std::strcpy(rig.settings.szRawFile, rawPath.c_str());
  rig.live.Publish();
  ScreenModel model(rig.live, nullptr);
  rig.worker.m_pView.store(&model);
  rig.worker.Start();
  rig.serial.Feed({1, 2, 3});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 3; }));
  rig.worker.Stop();

  const auto raw = ReadBytes(rawPath);
  ASSERT_EQ(raw.size(), 103u);
  EXPECT_EQ(raw[100], 1);
  EXPECT_EQ(raw[102], 3);
  EXPECT_EQ(model.LineCount(), 0u);
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), 3);
}

TEST(PortWorkerReceive, RawLogOffOrUnusablePathLeavesDisplayGoing) {
  TempDir dir;
  for (const bool unterminatedPath : {false, true}) {
    WorkerRig rig;
    UseHexScreen(rig.settings);
    if (unterminatedPath) {
      rig.settings.bSaveRaw = 1;  // a hand-edited record: the path fills its buffer
      std::memset(rig.settings.szRawFile, 'a', sizeof rig.settings.szRawFile);
    } else {
      std::strcpy(rig.settings.szRawFile, dir.File("unused.bin").c_str());
    }
    rig.live.Publish();
    ScreenModel model(rig.live, nullptr);
    rig.worker.m_pView.store(&model);
    rig.worker.Start();
    rig.serial.Feed({0xAB, 0xCD});
    ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 2; }));
    rig.worker.Stop();

    EXPECT_EQ(HexLinesToBytes(model.Lines()), (std::vector<std::uint8_t>{0xAB, 0xCD}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("unused.bin")));
  }
}

}  // namespace
}  // namespace tarnwick::testing
