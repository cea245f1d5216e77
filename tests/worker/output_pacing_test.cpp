// The output queue's limit and wait for each line, and the worker keeping
// its transmit count on the bytes that have left the driver.
#include "port/output_pacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

DCB Line(std::uint32_t rate, std::uint8_t dataBits, std::uint8_t parity, std::uint8_t stopBits) {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.BaudRate = rate;
  dcb.ByteSize = dataBits;
  dcb.Parity = parity;
  dcb.StopBits = stopBits;
  return dcb;
}

struct LineCase {
  DCB dcb;
  std::uint64_t charNs;
  std::size_t limit;
};

TEST(OutputPacing, OneWindowOfLineTimeAndAtLeastOneCharacter) {
  const std::vector<LineCase> cases = {
      {Line(9600, 8, kNoParity, kOneStopBit), 1'041'666, 9},
      {Line(115200, 8, kNoParity, kOneStopBit), 86'805, 115},
      {Line(3'000'000, 8, kNoParity, kOneStopBit), 3'333, 3000},
      {Line(9600, 7, kEvenParity, kTwoStopBits), 1'145'833, 8},
      {Line(1200, 5, kNoParity, kOne5StopBits), 6'250'000, 1},
      {Line(110, 8, kMarkParity, kOneStopBit), 100'000'000, 1},
      {Line(0, 8, kNoParity, kOneStopBit), 1'041'666, 9},  // no rate: as 9600
  };
  for (const LineCase& c : cases) {
    OutputPacing pacing;
    pacing.SetLine(c.dcb);
    EXPECT_EQ(pacing.CharNanoseconds(), c.charNs) << c.dcb.BaudRate;
    EXPECT_EQ(pacing.QueueLimit(), c.limit) << c.dcb.BaudRate;
  }
}

// A device whose queue answers are scripted; counts the questions.
class ScriptedQueue : public SerialDevice {
 public:
  bool SetCommState(const DCB&) override { return true; }
  bool SetCommTimeouts(const COMMTIMEOUTS&) override { return true; }
  int LastError() const override { return 0; }
  IoResult Read(std::uint8_t*, std::size_t) override { return {}; }
  IoResult Write(const std::uint8_t*, std::size_t) override { return {}; }
  WaitResult Wait(bool, int) override { return WaitResult::kTimeout; }
  std::size_t OutputQueued() override {
    ++questions;
    const std::size_t answer = answers.front();
    if (answers.size() > 1) answers.pop_front();
    return answer;
  }
  std::deque<std::size_t> answers;
  int questions = 0;
};

TEST(OutputPacing, AsksOncePerQueueOfRoom) {
  ScriptedQueue device;
  device.answers = {3, 9};
  OutputPacing pacing;  // 9600 8N1: 9 characters
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(pacing.Room(device)) << i;
    pacing.Written();
  }
  EXPECT_EQ(device.questions, 1);  // 3 queued: room for 6 without asking again
  EXPECT_FALSE(pacing.Room(device));
  EXPECT_EQ(device.questions, 2);
}

struct RecheckCase {
  std::uint32_t rate;
  std::vector<std::size_t> answers;  // each one a full queue
  int recheckMs;
};

TEST(OutputPacing, RecheckWaitsForOneCharacterAndBacksOffWhileHeld) {
  const std::vector<RecheckCase> cases = {
      {9600, {9}, 2},          // one character of 1.04 ms, rounded up
      {9600, {12}, 5},         // four characters over the limit
      {9600, {9, 9}, 10},      // not shrinking: flow control holds the line
      {9600, {12, 10}, 3},     // shrinking: the line moves; two characters to go
      {3'000'000, {3000}, 1},  // never below one millisecond
      {9600, {4096}, 100},     // a queue far over the limit: bounded
      {110, {1}, 91},          // one character at 110 baud
  };
  for (const RecheckCase& c : cases) {
    ScriptedQueue device;
    device.answers.assign(c.answers.begin(), c.answers.end());
    OutputPacing pacing;
    pacing.SetLine(Line(c.rate, 8, kNoParity, kOneStopBit));
    for (std::size_t i = 0; i < c.answers.size(); ++i) ASSERT_FALSE(pacing.Room(device));
    EXPECT_EQ(pacing.RecheckMs(), c.recheckMs) << c.rate << " " << c.answers.back();
  }
}

// The worker at 9600 8N1 on a device that keeps what it is given: nine bytes
// go to the driver, then the worker waits with a limit instead of writing or
// spinning, and goes on as the queue empties.
TEST(PortWorkerPacing, CountStopsAtTheQueueLimitAndFollowsTheLine) {
  WorkerRig rig;
  rig.serial.KeepOutputQueued(true);
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  std::vector<std::uint8_t> block(40);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  rig.worker.HandOver(block.data(), static_cast<std::int32_t>(block.size()));

  ASSERT_TRUE(rig.serial.WaitForCount("wait:read:2", 1));
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read:10", 1));  // held: one look a window
  EXPECT_EQ(rig.serial.Written().size(), 9u);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 9);
  EXPECT_EQ(rig.worker.TxPos(), 9);
  EXPECT_EQ(rig.serial.Count("wait:write"), 0u);
  for (const std::string& e : rig.serial.Events()) {
    EXPECT_NE(e, "wait:read:0");  // never a wait that returns at once
  }

  rig.serial.DrainOutput(4);  // four characters left the line
  ASSERT_TRUE(Eventually([&] { return rig.serial.Written().size() == 13; }));
  EXPECT_EQ(rig.serial.OutputQueuedNow(), 9u);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 13);

  // An abort while the queue is full ends the block with nothing added.
  rig.worker.SetTxLength(0);
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), std::vector<std::uint8_t>(block.begin(), block.begin() + 13));
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 13);
  EXPECT_EQ(rig.worker.TxPos(), 0);
}

// A queue that empties as fast as it fills never holds the block back.
TEST(PortWorkerPacing, AnEmptyingQueueSendsTheWholeBlock) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  std::vector<std::uint8_t> block(100, 0x55);
  rig.worker.HandOver(block.data(), static_cast<std::int32_t>(block.size()));
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), block);
  for (const std::string& e : rig.serial.Events())
    EXPECT_EQ(e.rfind("wait:read:", 0), std::string::npos) << e;
}

// While a long block flows, input is still taken within a millisecond or so:
// the write after the pause finds the bytes that came meanwhile read.
TEST(PortWorkerFlow, InputArrivingDuringALongBlockIsTakenWithoutWaitingForItsEnd) {
  WorkerRig rig;
  rig.serial.OnWrite([&rig](std::size_t sofar) {
    if (sofar == 100) rig.serial.Feed({7, 8, 9});
    if (sofar == 200) std::this_thread::sleep_for(std::chrono::milliseconds(3));
  });
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  std::vector<std::uint8_t> block(3000, 0x41);
  rig.worker.HandOver(block.data(), static_cast<std::int32_t>(block.size()));
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.worker.m_nBytesRead.load(), 3);
  EXPECT_EQ(rig.serial.Written(), block);

  const std::vector<std::string> log = rig.serial.Events();
  const auto read = std::find(log.begin(), log.end(), "read:3");
  ASSERT_NE(read, log.end());
  const auto writesBefore = std::count(log.begin(), read, "write:65");
  EXPECT_GT(writesBefore, 100);
  EXPECT_LE(writesBefore, 202);  // taken in the turn after the pause
}

}  // namespace
}  // namespace tarnwick::testing
