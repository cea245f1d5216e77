// The line state on a scripted device: lamps published once per change, no
// look at the lines while nothing changes, DTR and RTS only where the
// settings leave them to the user, the pulse, the error counts from each
// open and Clear, and devices that have no lines, count nothing, cannot wait
// or lose their lines.
#include "port/line_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/fake_modem.h"

namespace tarnwick {
namespace {

using testing::FakeModem;
using testing::FakeModemDevice;
using Clock = std::chrono::steady_clock;

DCB DcbWith(std::uint32_t dtr, std::uint32_t rts) {
  DCB dcb{};
  dcb.fDtrControl = dtr;
  dcb.fRtsControl = rts;
  return dcb;
}

class LineStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_lines.SetListener([this] { m_nPublished.fetch_add(1); });
  }
  void TearDown() override { m_lines.Detach(); }

  void Attach(std::uint32_t dtr = kDtrControlEnable, std::uint32_t rts = kRtsControlEnable) {
    m_lines.Attach(m_device, DcbWith(dtr, rts));
  }
  bool StatusBecomes(const std::function<bool(const LineStatus&)>& pred) {
    return m_modem.WaitUntil([&] { return pred(m_lines.Status()); });
  }

  FakeModem m_modem;
  FakeModemDevice m_device{m_modem};
  LineState m_lines;
  std::atomic<int> m_nPublished{0};
};

TEST_F(LineStateTest, AttachShowsTheLinesAndEachChangeIsPublishedOnce) {
  m_modem.SetInputs(kModemCts | kModemDsr);
  Attach();
  const LineStatus status = m_lines.Status();
  EXPECT_TRUE(status.bOpen);
  EXPECT_TRUE(status.bModemLines);
  EXPECT_EQ(status.nInputs, kModemCts | kModemDsr);
  EXPECT_TRUE(status.bErrorsCounted);
  ASSERT_TRUE(m_modem.WaitUntilWaiting(1));
  EXPECT_EQ(m_nPublished.load(), 1);
  // Nothing changes, nothing is looked at.
  const std::size_t reads = m_modem.StatusReads();
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * LineState::kPollMs));
  EXPECT_EQ(m_modem.Waits(), 1u);
  EXPECT_EQ(m_modem.StatusReads(), reads);
  EXPECT_EQ(m_modem.ErrorReads(), 1u);  // the open's

  m_modem.SetInputs(kModemCts | kModemDcd | kModemRi);
  // Read at once, then once more after the settle pause, then waited for.
  ASSERT_TRUE(m_modem.WaitUntilWaiting(2));
  EXPECT_EQ(m_lines.Status().nInputs, kModemCts | kModemDcd | kModemRi);
  EXPECT_EQ(m_nPublished.load(), 2);

  // An event that leaves the lines as they were publishes nothing.
  m_modem.SetInputs(kModemCts | kModemDcd | kModemRi);
  ASSERT_TRUE(m_modem.WaitUntilWaiting(3));
  EXPECT_EQ(m_nPublished.load(), 2);

  m_lines.Detach();
  EXPECT_FALSE(m_lines.Status().bOpen);
  EXPECT_FALSE(m_lines.Status().bModemLines);
  EXPECT_EQ(m_nPublished.load(), 3);
}

struct ControlCase {
  std::uint32_t dtr;
  std::uint32_t rts;
  bool dtrSettable;
  bool rtsSettable;
  bool dtrHigh;  // as the open leaves it
  bool rtsHigh;
};

TEST_F(LineStateTest, TogglesOnlyWhereTheSettingsLeaveTheLineToTheUser) {
  const ControlCase cases[] = {
      {kDtrControlDisable, kRtsControlDisable, true, true, false, false},
      {kDtrControlEnable, kRtsControlEnable, true, true, true, true},
      {kDtrControlHandshake, kRtsControlHandshake, false, false, true, true},
      {kDtrControlEnable, kRtsControlToggle, true, false, true, false},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "DTR " << c.dtr << " RTS " << c.rts);
    const std::size_t before = m_modem.Outputs().size();
    Attach(c.dtr, c.rts);
    LineStatus status = m_lines.Status();
    EXPECT_EQ(status.bDtrSettable, c.dtrSettable);
    EXPECT_EQ(status.bRtsSettable, c.rtsSettable);
    EXPECT_EQ(status.bDtr, c.dtrHigh);
    EXPECT_EQ(status.bRts, c.rtsHigh);

    EXPECT_EQ(m_lines.SetDtr(!c.dtrHigh), c.dtrSettable);
    EXPECT_EQ(m_lines.SetRts(!c.rtsHigh), c.rtsSettable);
    EXPECT_EQ(m_lines.PulseDtr(), c.dtrSettable);
    status = m_lines.Status();
    EXPECT_EQ(status.bRts, c.rtsSettable ? !c.rtsHigh : c.rtsHigh);
    std::vector<std::string> expected;
    if (c.dtrSettable) expected.push_back(c.dtrHigh ? "dtr:0" : "dtr:1");
    if (c.rtsSettable) expected.push_back(c.rtsHigh ? "rts:0" : "rts:1");
    if (c.dtrSettable) {
      expected.push_back("dtr:0");
      expected.push_back("dtr:1");
      ASSERT_TRUE(
          m_modem.WaitUntil([&] { return m_modem.Outputs().size() == before + expected.size(); }));
      // Published right after the device took it.
      EXPECT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bDtr; }));
    }
    const std::vector<std::string> outputs = m_modem.Outputs();
    EXPECT_EQ(std::vector<std::string>(outputs.begin() + static_cast<long>(before), outputs.end()),
              expected);
    m_lines.Detach();
  }
}

TEST_F(LineStateTest, ErrorCountsStartAtEachOpenAndEachReset) {
  m_modem.AddErrors({7, 1, 0, 0, 0});  // counted before this open
  Attach();
  EXPECT_EQ(m_lines.Status().errors, LineErrors{});

  m_modem.AddErrors({1, 2, 3, 4, 5});
  m_lines.AfterReceive();
  EXPECT_EQ(m_lines.Status().errors, (LineErrors{1, 2, 3, 4, 5}));
  EXPECT_EQ(m_lines.Status().errors.Total(), 15u);

  m_lines.ResetErrors();
  EXPECT_EQ(m_lines.Status().errors, LineErrors{});
  m_modem.AddErrors({0, 0, 1, 0, 0});
  m_lines.AfterReceive();
  EXPECT_EQ(m_lines.Status().errors, (LineErrors{0, 0, 1, 0, 0}));

  // Closed, the last counts stay on show; a reopen starts again from zero.
  m_lines.Detach();
  EXPECT_EQ(m_lines.Status().errors.framing, 1u);
  m_modem.AddErrors({0, 0, 0, 2, 0});
  Attach();
  EXPECT_EQ(m_lines.Status().errors, LineErrors{});
}

// A pseudo-terminal: no watcher, no look at the lines, nothing to set or
// count.
TEST_F(LineStateTest, DeviceWithoutModemLinesGetsNoWatcher) {
  m_modem.SetHasLines(false);
  m_modem.SetCountsErrors(false);
  Attach(kDtrControlEnable, kRtsControlDisable);
  const LineStatus status = m_lines.Status();
  EXPECT_TRUE(status.bOpen);
  EXPECT_FALSE(status.bModemLines);
  EXPECT_FALSE(status.bErrorsCounted);
  m_lines.AfterReceive();
  EXPECT_EQ(m_modem.ErrorReads(), 1u);  // the open's
  EXPECT_FALSE(status.bDtrSettable);
  EXPECT_FALSE(status.bRtsSettable);
  EXPECT_FALSE(m_lines.SetDtr(false));
  EXPECT_FALSE(m_lines.SetRts(true));
  EXPECT_FALSE(m_lines.PulseDtr());
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * LineState::kPollMs));
  EXPECT_EQ(m_modem.StatusReads(), 1u);
  EXPECT_EQ(m_modem.Waits(), 0u);
  EXPECT_TRUE(m_modem.Outputs().empty());
}

TEST_F(LineStateTest, LinesLostWhileWaitedForGoGreyAndTheWatcherEnds) {
  Attach();
  ASSERT_TRUE(m_modem.WaitUntilWaiting(1));
  m_modem.LoseLines();
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return !s.bModemLines; }));
  const LineStatus status = m_lines.Status();
  EXPECT_TRUE(status.bOpen);  // the worker decides whether the port is gone
  EXPECT_TRUE(status.bLinesLost);
  EXPECT_EQ(status.nInputs, 0u);
  EXPECT_FALSE(status.bDtrSettable);
  EXPECT_FALSE(m_lines.SetDtr(false));
  const std::size_t reads = m_modem.StatusReads();
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * LineState::kPollMs));
  EXPECT_EQ(m_modem.StatusReads(), reads);
  EXPECT_EQ(m_modem.Waits(), 1u);
}

TEST_F(LineStateTest, DeviceThatCannotWaitIsLookedAtTenTimesASecond) {
  m_modem.SetCanWait(false);
  const Clock::time_point start = Clock::now();
  Attach();
  m_modem.SetInputs(kModemRi);
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.nInputs == kModemRi; }));
  m_modem.AddErrors({0, 0, 0, 0, 1});  // no bytes come with it
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.errors.breaks == 1; }));
  // Lines lost while polled go grey too.
  m_modem.LoseLines();
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return !s.bModemLines; }));
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  // The pauses never end early: at most one look per period, and the first.
  EXPECT_LE(m_modem.StatusReads(),
            static_cast<std::size_t>(elapsed.count() / LineState::kPollMs) + 3);
  EXPECT_EQ(m_modem.Waits(), 1u);  // asked once whether it can wait
}

TEST_F(LineStateTest, ChatteringDeviceCostsAtMostOneLookPerSettlePause) {
  m_modem.SetChatters(true);
  const Clock::time_point start = Clock::now();
  Attach();
  std::this_thread::sleep_for(std::chrono::milliseconds(10 * LineState::kSettleMs));
  m_lines.Detach();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_GE(m_modem.Waits(), 1u);
  EXPECT_LE(m_modem.Waits(), static_cast<std::size_t>(elapsed.count() / LineState::kSettleMs) + 2);
}

TEST_F(LineStateTest, StopEndsAPulseUnderWay) {
  Attach();
  ASSERT_TRUE(m_modem.WaitUntilWaiting(1));
  // A stop during a pulse does not wait for its end: the port closes, and
  // the reopen sets DTR as the settings say.
  ASSERT_TRUE(m_lines.PulseDtr());
  ASSERT_TRUE(m_modem.WaitUntil([&] { return m_modem.Outputs().size() == 1; }));
  m_lines.Detach();
  EXPECT_FALSE(m_lines.Status().bOpen);
  EXPECT_FALSE(m_lines.PulseDtr());
}

}  // namespace
}  // namespace tarnwick
