// The worker's state sequence, transmit hand-over, stop protocol and lost-port
// recovery, against the scripted fake device.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

using Log = std::vector<std::string>;

// The open, close and sleep events only, in order.
Log Lifecycle(const Log& log) {
  Log out;
  for (const auto& e : log) {
    if (e.rfind("open:", 0) == 0 || e == "close" || e.rfind("sleep:", 0) == 0) out.push_back(e);
  }
  return out;
}

// Consecutive repeats folded into one, so a sequence reads as its states.
Log Folded(const Log& log) {
  Log out;
  for (const auto& e : log) {
    if (out.empty() || out.back() != e) out.push_back(e);
  }
  return out;
}

TEST(PortWorkerStates, FailedOpenWaitsForRequestThenRetriesAndOpensTwice) {
  WorkerRig rig;
  const int busy = FakeSerial::kBusyError;
  rig.serial.PlanOpens({busy, busy, 0, 0});
  rig.worker.Start();

  // Ten wait periods pass without another attempt.
  ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 10));
  EXPECT_EQ(rig.serial.Count("open:fail"), 1u);
  EXPECT_FALSE(rig.worker.m_bPortOpen.load());
  EXPECT_EQ(rig.worker.Line().Status(), "Open Port FAILED !<error 16>");
  EXPECT_GE(rig.sink.AllCount(), 1);

  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:ok", 2));
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));

  // Request: the failed retry, one more period, success; the request is still
  // set, so the port is closed and opened once more, then the line idles.
  const Log expected = {"open:fail", "sleep:500", "open:fail", "sleep:500",
                        "open:ok",   "close",     "open:ok"};
  EXPECT_EQ(Folded(Lifecycle(rig.serial.Events())), expected);
  EXPECT_TRUE(rig.worker.m_bPortOpen.load());
  EXPECT_FALSE(rig.worker.m_bReopenPort.load());
}

// A device that does not exist is looked for without a request, and for a
// few periods more once it has appeared but cannot be opened yet; a device
// that is there but fails from the start waits for a request.
struct LookForCase {
  const char* name;
  std::vector<int> opens;  // results of the opens in order; then every open is busy
  Log expected;            // open results and sleeps, repeats folded, once settled
};

void PrintTo(const LookForCase& c, std::ostream* os) { *os << c.name; }

class PortWorkerLooksFor : public ::testing::TestWithParam<LookForCase> {};

TEST_P(PortWorkerLooksFor, MissingDeviceWithoutARequest) {
  const LookForCase& c = GetParam();
  WorkerRig rig;
  rig.serial.PlanOpens(c.opens, FakeSerial::kBusyError);
  rig.worker.Start();
  const std::size_t sleeps = c.opens.size() + 12;
  ASSERT_TRUE(rig.serial.WaitFor([&](const Log& log) {
    return std::count(log.begin(), log.end(), "open:ok") > 0 ||
           static_cast<std::size_t>(std::count(log.begin(), log.end(), "sleep:500")) >= sleeps;
  }));
  if (rig.serial.Count("open:ok") > 0) {
    ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  }
  rig.worker.Stop();

  Log attempts;
  for (const auto& e : Lifecycle(rig.serial.Events())) {
    if (e != "close") attempts.push_back(e);
  }
  while (!attempts.empty() && attempts.back() == "sleep:500") attempts.pop_back();
  EXPECT_EQ(attempts, c.expected);
  EXPECT_FALSE(rig.worker.m_bReopenPort.load());
}

const int kMissing = FakeSerial::kMissingError;
const int kBusy = FakeSerial::kBusyError;
const std::string kFail = "open:fail";
const std::string kSleep = "sleep:500";

INSTANTIATE_TEST_SUITE_P(
    Cases, PortWorkerLooksFor,
    ::testing::Values(LookForCase{"AppearsAfterThreePeriods",
                                  {kMissing, kMissing, kMissing, 0},
                                  {kFail, kSleep, kFail, kSleep, kFail, kSleep, "open:ok"}},
                      LookForCase{"AppearsBusyThenReady",
                                  {kMissing, kBusy, kBusy, 0},
                                  {kFail, kSleep, kFail, kSleep, kFail, kSleep, "open:ok"}},
                      LookForCase{
                          "AppearsAndStaysBusy",
                          {kMissing},
                          {kFail, kSleep, kFail, kSleep, kFail, kSleep, kFail, kSleep, kFail}},
                      LookForCase{"BusyFromTheStart", {kBusy}, {kFail}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortWorkerStates, ReopenWhileTransferringKeepsCountersAndData) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.serial.Feed({1, 2, 3});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 3; }));

  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:ok", 2));
  rig.serial.Feed({4});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 4; }));
  EXPECT_EQ(rig.serial.Count("close"), 1u);
  EXPECT_EQ(rig.serial.Count("open:ok"), 2u);
}

TEST(PortWorkerStates, IdleOpenPortWaitsWithoutTurning) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  std::this_thread::sleep_for(200ms);
  // One wait, no timeout: nothing wakes the worker while the line is quiet.
  EXPECT_EQ(rig.serial.WaitCalls(), 1u);
}

TEST(PortWorkerStates, WakeWithNothingToDoReturnsToOneWait) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.worker.SetTxLength(0);  // wakes the worker with no block pending
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 2));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(rig.serial.WaitCalls(), 2u);
}

// --- transmit hand-over -------------------------------------------------------

TEST(PortWorkerTransmit, ThreeByteBlockSendsRepaintsAndEnds) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  const std::vector<std::uint8_t> block = {0x41, 0x00, 0xFF};
  rig.worker.HandOver(block.data(), 3);
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));

  EXPECT_EQ(rig.serial.Written(), block);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 3);
  EXPECT_EQ(rig.worker.TxPos(), 0);
  // One repaint of the counters line per byte, left to the view to size.
  EXPECT_EQ(rig.sink.CountersCount(), 3);
  EXPECT_TRUE(rig.sink.Rects().empty());
}

struct EarlyEndCase {
  const char* name;
  std::size_t writesBeforeAbort;  // bytes gone before the dialog sets the length to 0
  bool lineHeldAtAbort;
  std::vector<std::uint8_t> expectedWritten;
};

void PrintTo(const EarlyEndCase& c, std::ostream* os) { *os << c.name; }

class PortWorkerEarlyEnd : public ::testing::TestWithParam<EarlyEndCase> {};

// The dialog's abort comes between two turns: the next turn still tries the
// byte at the position, then the block ends whether it went or not.
TEST_P(PortWorkerEarlyEnd, LengthZeroEndsAfterOneMoreTry) {
  const EarlyEndCase& c = GetParam();
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  if (c.lineHeldAtAbort) rig.serial.SetWritable(false);
  rig.serial.OnWrite([&](std::size_t sofar) {
    if (sofar == c.writesBeforeAbort) rig.worker.m_nTxLength.store(0);
  });
  const std::vector<std::uint8_t> block = {10, 11, 12, 13, 14, 15};
  rig.worker.HandOver(block.data(), static_cast<std::int32_t>(block.size()));
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  rig.serial.SetWritable(true);
  std::this_thread::sleep_for(20ms);

  EXPECT_EQ(rig.serial.Written(), c.expectedWritten);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), static_cast<int>(c.expectedWritten.size()));
  EXPECT_EQ(rig.worker.TxPos(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PortWorkerEarlyEnd,
                         ::testing::Values(EarlyEndCase{"AtStart", 0, false, {10}},
                                           EarlyEndCase{"AfterTwo", 2, false, {10, 11, 12}},
                                           EarlyEndCase{
                                               "BeforeLast", 5, false, {10, 11, 12, 13, 14, 15}},
                                           EarlyEndCase{"LineHeld", 0, true, {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortWorkerTransmit, BlockWaitsWhilePortClosed) {
  WorkerRig rig;
  rig.serial.PlanOpens({FakeSerial::kMissingError}, FakeSerial::kMissingError);
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 1));
  const std::vector<std::uint8_t> block = {1, 2, 3};
  rig.worker.HandOver(block.data(), 3);
  ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 6));
  EXPECT_TRUE(rig.serial.Written().empty());
  EXPECT_EQ(rig.worker.TxBuffer(), block.data());

  rig.serial.PlanOpens({}, 0);
  rig.worker.RequestReopen();
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), block);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 3);
}

TEST(PortWorkerTransmit, BlockSurvivesReopen) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.serial.AllowWrites(2);
  const std::vector<std::uint8_t> block = {5, 6, 7, 8};
  rig.worker.HandOver(block.data(), 4);
  ASSERT_TRUE(rig.serial.WaitForCount("write:held", 1));
  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:ok", 2));
  EXPECT_EQ(rig.worker.TxBuffer(), block.data());
  EXPECT_EQ(rig.worker.TxPos(), 2);

  rig.serial.SetWritable(true);
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), block);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 4);
}

TEST(PortWorkerTransmit, HeldByteIsRetriedWithoutAdvancingOrSpinning) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.serial.SetWritable(false);
  const std::vector<std::uint8_t> block = {7, 8};
  rig.worker.HandOver(block.data(), 2);
  ASSERT_TRUE(rig.serial.WaitForCount("wait:write", 1));
  std::this_thread::sleep_for(100ms);

  // Held: one attempt, then a wait for the line to take output.
  EXPECT_EQ(rig.serial.Count("write:held"), 1u);
  EXPECT_EQ(rig.serial.Count("wait:write"), 1u);
  EXPECT_EQ(rig.worker.TxPos(), 0);
  EXPECT_EQ(rig.worker.m_nBytesWritten.load(), 0);
  EXPECT_TRUE(rig.sink.Rects().empty());

  rig.serial.SetWritable(true);
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), block);
}

TEST(PortWorkerTransmit, InputStillFlowsWhileLineHeld) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.serial.SetWritable(false);
  const std::vector<std::uint8_t> block = {1};
  rig.worker.HandOver(block.data(), 1);
  ASSERT_TRUE(rig.serial.WaitForCount("wait:write", 1));
  rig.serial.Feed({9, 9, 9});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 3; }));
  EXPECT_EQ(rig.worker.TxPos(), 0);
  EXPECT_NE(rig.worker.TxBuffer(), nullptr);
}

TEST(PortWorkerTransmit, EmptyBlockIsNotHandedOver) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  const std::uint8_t byte = 0x55;
  rig.worker.HandOver(&byte, 0);
  EXPECT_EQ(rig.worker.TxBuffer(), nullptr);
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(rig.serial.Written().empty());
}

// A driver that says "ready" and then delivers nothing would keep the worker
// spinning: each such wait is followed by a 10 ms pause.
TEST(PortWorker, AReadyWaitThatBringsNothingIsFollowedByAPause) {
  WorkerRig rig;
  rig.serial.ReadyWithoutData(true);
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("sleep:10", 3));
  rig.worker.Stop();
  std::string previous;
  for (const std::string& event : rig.serial.Events()) {
    if (event.starts_with("wait:")) {
      EXPECT_FALSE(previous.starts_with("wait:"));
    }
    if (event.starts_with("wait:") || event == "sleep:10") previous = event;
  }
}

// --- stop -----------------------------------------------------------------------

// Sleeps and waits of this fake never end by themselves, so Stop returning at
// all shows the worker was woken, not that a timeout happened to pass.
constexpr int kSleepsNeverEnd = 0;

enum class StopState { kNeverStarted, kWaiting, kRetrying, kIdle, kLineHeld, kLost };

class PortWorkerStop : public ::testing::TestWithParam<StopState> {};

TEST_P(PortWorkerStop, ReturnsAndLeavesTheWorkerStopped) {
  WorkerRig rig(kSleepsNeverEnd);
  const std::vector<std::uint8_t> block = {1, 2};
  switch (GetParam()) {
    case StopState::kNeverStarted:
      break;
    case StopState::kWaiting:
      rig.serial.PlanOpens({}, FakeSerial::kMissingError);
      rig.worker.Start();
      ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 1));
      break;
    case StopState::kRetrying:
      rig.serial.PlanOpens({}, FakeSerial::kMissingError);
      rig.worker.Start();
      ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 1));
      rig.worker.RequestReopen();
      ASSERT_TRUE(rig.serial.WaitForCount("open:fail", 2));
      ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 2));
      break;
    case StopState::kIdle:
      rig.worker.Start();
      ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
      break;
    case StopState::kLineHeld:
      rig.serial.SetWritable(false);
      rig.worker.Start();
      ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
      rig.worker.HandOver(block.data(), 2);
      ASSERT_TRUE(rig.serial.WaitForCount("wait:write", 1));
      break;
    case StopState::kLost:
      rig.worker.Start();
      ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
      rig.serial.Vanish();
      ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 1));
      break;
  }
  ASSERT_TRUE(rig.StopReturns());
  EXPECT_FALSE(rig.worker.m_bRunning.load());
  EXPECT_EQ(rig.worker.m_pView.load(), nullptr);
  // Nothing runs any more: the log stays as it is.
  const std::size_t events = rig.serial.Events().size();
  rig.serial.Feed({1});
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(rig.serial.Events().size(), events);
}

INSTANTIATE_TEST_SUITE_P(States, PortWorkerStop,
                         ::testing::Values(StopState::kNeverStarted, StopState::kWaiting,
                                           StopState::kRetrying, StopState::kIdle,
                                           StopState::kLineHeld, StopState::kLost));

// --- a device that vanishes -------------------------------------------------------

struct LossCase {
  const char* name;
  bool readsFail;  // the read reports the loss; else only the wait's hang-up does
  std::string status;
};

void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }

// The code a hang-up is reported with, as the platform names it.
#ifdef _WIN32
constexpr const char* kHangUpStatus = "Port LOST !<error 1167>";  // ERROR_DEVICE_NOT_CONNECTED
#else
constexpr const char* kHangUpStatus = "Port LOST !<error 5>";  // EIO
#endif

class PortWorkerLoss : public ::testing::TestWithParam<LossCase> {};

TEST_P(PortWorkerLoss, ReportsRetriesByItselfAndResumes) {
  const LossCase& c = GetParam();
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  const int paintsBefore = rig.sink.AllCount();

  rig.serial.Vanish(c.readsFail);
  ASSERT_TRUE(rig.serial.WaitForCount("open:fail", 4));
  EXPECT_FALSE(rig.worker.m_bPortOpen.load());
  EXPECT_EQ(rig.worker.Line().Status(), c.status);
  EXPECT_GT(rig.sink.AllCount(), paintsBefore);
  // The lost device was closed (read from the log: the worker owns the handle).
  EXPECT_EQ(rig.serial.Count("close"), 1u);

  // Every retry comes after a full wait period: no retry storm, no spinning.
  const Log afterLoss = Lifecycle(rig.serial.Events());
  const auto firstClose = std::find(afterLoss.begin(), afterLoss.end(), "close");
  ASSERT_NE(firstClose, afterLoss.end());
  const Log expectedCycle = {"sleep:500", "open:fail"};
  for (auto it = firstClose + 1; it + 1 < afterLoss.end(); it += 2) {
    EXPECT_EQ((Log{*it, *(it + 1)}), expectedCycle);
  }

  rig.serial.PlanOpens({}, 0);
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_bPortOpen.load(); }));
  rig.serial.Feed({0x42});
  ASSERT_TRUE(Eventually([&] { return rig.worker.m_nBytesRead.load() == 1; }));
}

INSTANTIATE_TEST_SUITE_P(Cases, PortWorkerLoss,
                         ::testing::Values(LossCase{"ReadFails", true, "Port LOST !<error 19>"},
                                           LossCase{"HangUpOnly", false, kHangUpStatus}),
                         [](const auto& info) { return std::string(info.param.name); });

// The view shows the status text as soon as the port reads closed, so the loss
// text must be in place by then: the fake notes what a reader saw at the moment
// the text was being composed.
class StatusOrderSerial : public FakeSerial {
 public:
  using FakeSerial::FakeSerial;
  std::string ErrorText(int error) const override {
    if (error == kGoneError && portOpen != nullptr) closedBeforeText = !portOpen->load();
    return FakeSerial::ErrorText(error);
  }
  const std::atomic<bool>* portOpen = nullptr;
  mutable std::atomic<bool> closedBeforeText{false};
};

TEST(PortWorkerLossStatus, PortReadsClosedOnlyOnceTheLossTextIsSet) {
  const SETTINGS settings = DefaultSettings();
  LiveSettings live(settings);
  StatusOrderSerial serial(50);
  PortWorker worker(live, serial, nullptr, nullptr);
  serial.portOpen = &worker.m_bPortOpen;
  worker.Start();
  ASSERT_TRUE(serial.WaitForCount("wait:read", 1));
  serial.Vanish();
  ASSERT_TRUE(serial.WaitForCount("open:fail", 1));
  EXPECT_FALSE(serial.closedBeforeText.load());
  // Read once the worker has stopped: a retry in progress sets its own text
  // for a moment before the loss text is put back.
  worker.Stop();
  EXPECT_EQ(worker.Line().Status(), "Port LOST !<error 19>");
}

TEST(PortWorkerLossDuringTransmit, BlockGoesOnAfterRecovery) {
  WorkerRig rig;
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  const std::vector<std::uint8_t> block = {1, 2, 3, 4};
  rig.serial.OnWrite([&](std::size_t sofar) {
    if (sofar == 2) rig.serial.Vanish();
  });
  rig.worker.HandOver(block.data(), 4);
  ASSERT_TRUE(rig.serial.WaitForCount("open:fail", 1));
  EXPECT_EQ(rig.worker.TxPos(), 2);
  EXPECT_EQ(rig.worker.TxBuffer(), block.data());

  rig.serial.OnWrite({});
  rig.serial.PlanOpens({}, 0);
  ASSERT_TRUE(Eventually([&] { return rig.worker.TxBuffer() == nullptr; }));
  EXPECT_EQ(rig.serial.Written(), block);
}

TEST(PortWorkerLossThenRequest, RequestTurnsRecoveryIntoOrdinaryReopen) {
  WorkerRig rig(kSleepsNeverEnd);
  rig.worker.Start();
  ASSERT_TRUE(rig.serial.WaitForCount("wait:read", 1));
  rig.serial.Vanish();
  ASSERT_TRUE(rig.serial.WaitForCount("sleep:500", 1));
  ASSERT_EQ(rig.worker.Line().Status().rfind("Port LOST !", 0), 0u);

  // Port Settings OK with a port that cannot be opened: its own reason shows.
  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:fail", 1));
  ASSERT_TRUE(
      Eventually([&] { return rig.worker.Line().Status() == "Open Port FAILED !<error 2>"; }));
}

}  // namespace
}  // namespace tarnwick::testing
