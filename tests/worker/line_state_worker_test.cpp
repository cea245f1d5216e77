// The worker keeps the line state in step with the port: attached at each
// open, detached at a reopen, a loss and the stop; error counts read as bytes
// arrive and started again by Clear and by a reopen; DTR and RTS set by hand
// last until the next open.
#include <gtest/gtest.h>

#include <memory>

#include "support/fake_modem.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

class LineStateWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.serial.WrapDevices([this](std::unique_ptr<SerialDevice> inner) {
      return std::make_unique<FakeModemDevice>(modem, std::move(inner));
    });
  }
  LineStatus Status() { return rig.worker.Lines().Status(); }
  bool StatusBecomes(const std::function<bool(const LineStatus&)>& pred) {
    return Eventually([&] { return pred(Status()); });
  }

  FakeModem modem;
  WorkerRig rig;
};

TEST_F(LineStateWorkerTest, ErrorsAreReadAsBytesArriveAndRestartAtClearAndReopen) {
  modem.AddErrors({3, 0, 0, 0, 0});
  rig.worker.Start();
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bOpen; }));
  EXPECT_TRUE(Status().bModemLines);
  EXPECT_EQ(Status().errors, LineErrors{});

  // A framing error and the byte it spoilt.
  modem.AddErrors({0, 0, 1, 0, 0});
  rig.serial.Feed({0x00});
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.errors.framing == 1; }));

  rig.worker.ResetCounters(0);  // Clear
  EXPECT_EQ(Status().errors, LineErrors{});

  modem.AddErrors({0, 0, 0, 2, 0});
  rig.serial.Feed({0x41, 0x42});
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.errors.parity == 2; }));

  // DTR lowered by hand; the reopen puts it back as the settings say.
  rig.settings.nDtrIndex = 1;  // ENABLE
  rig.live.Publish();
  const std::size_t opens = rig.serial.Count("open:ok");
  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:ok", opens + 1));
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bOpen && s.bDtr; }));
  ASSERT_TRUE(rig.worker.Lines().SetDtr(false));
  EXPECT_FALSE(Status().bDtr);
  EXPECT_EQ(modem.Outputs().back(), "dtr:0");
  rig.worker.RequestReopen();
  ASSERT_TRUE(rig.serial.WaitForCount("open:ok", opens + 2));
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bOpen && s.bDtr; }));
  EXPECT_EQ(Status().errors, LineErrors{});
}

TEST_F(LineStateWorkerTest, LostPortGreysTheLampsUntilItReturnsAndStopDetaches) {
  modem.SetInputs(kModemCts);
  rig.worker.Start();
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bOpen; }));
  EXPECT_EQ(Status().nInputs, kModemCts);
  ASSERT_TRUE(modem.WaitUntilWaiting(1));

  rig.serial.Vanish();
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return !s.bOpen; }));
  EXPECT_FALSE(Status().bModemLines);
  EXPECT_EQ(Status().nInputs, 0u);

  rig.serial.PlanOpens({0});
  ASSERT_TRUE(StatusBecomes([](const LineStatus& s) { return s.bOpen && s.bModemLines; }));
  EXPECT_EQ(Status().nInputs, kModemCts);

  ASSERT_TRUE(rig.StopReturns());
  EXPECT_FALSE(Status().bOpen);
}

}  // namespace
}  // namespace tarnwick::testing
