#include "transmit/send_controller.h"

#include <gtest/gtest.h>

#include <string>

#include "send_rig.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::SendRig;

// Letters only: a backslash would start an ASCII escape.
std::string Pattern(std::size_t n, char seed) {
  std::string text(n, ' ');
  for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char>('A' + (seed + i) % 26);
  return text;
}

TEST(SendController, SingleSendHandsOverOnceAndEndsAtTheProgressTick) {
  SendRig rig;
  rig.Type("hello");
  rig.controller.OnOK();
  EXPECT_EQ(rig.controller.m_bActive, 1);
  EXPECT_STREQ(rig.controls.buttonLabel, "ABORT");
  EXPECT_EQ(rig.timers.running, (std::map<int, int>{{101, 100}}));
  EXPECT_EQ(rig.progress.range, (std::pair<std::int32_t, std::int32_t>{0, 5}));
  EXPECT_EQ(rig.worker.m_nTxLength, 5);
  rig.RunUntilIdle(1000);
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_EQ(rig.now, 100);  // the first progress tick finds the block done
  EXPECT_EQ(rig.Sent(), "hello");
  EXPECT_TRUE(rig.timers.running.empty());
  EXPECT_STREQ(rig.controls.buttonLabel, "SEND");
  EXPECT_EQ(rig.progress.pos, 0);
  EXPECT_EQ(rig.controller.m_nTransmitCount, -2);  // decreased even in single mode
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(SendController, ProgressFollowsTheWorkersPosition) {
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(500, 1));
  rig.controller.OnOK();
  rig.Run(100);
  EXPECT_EQ(rig.progress.pos, 100);
  rig.Run(100);
  EXPECT_EQ(rig.progress.pos, 200);
}

struct NothingCase {
  const char* name;
  std::int32_t format;
  const char* text;
};

class NothingToSend : public ::testing::TestWithParam<NothingCase> {};

TEST_P(NothingToSend, ShowsTheBoxAndStaysIdle) {
  SendRig rig;
  rig.Type(GetParam().text, GetParam().format);
  rig.controller.OnOK();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, "No data to send !");
  EXPECT_EQ(rig.boxes.shown[0].caption, "SEND");
  EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::kError);
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_TRUE(rig.timers.running.empty());
  EXPECT_TRUE(rig.worker.handed.empty());
  EXPECT_EQ(rig.controller.m_nTransmitCount, -1);
}

INSTANTIATE_TEST_SUITE_P(Cases, NothingToSend,
                         ::testing::Values(NothingCase{"EmptyAscii", kTxFormatAscii, ""},
                                           NothingCase{"EmptyNoFormat", -1, ""},
                                           NothingCase{"SeparatorsHex", kTxFormatHex, " \r\n "},
                                           NothingCase{"SeparatorsDec", kTxFormatDec, "\r\n"},
                                           NothingCase{"SeparatorsFloat", kTxFormatFloat, "  "}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SendController, ParseErrorLeavesTheDialogIdleWithOnlyThatBox) {
  SendRig rig;
  rig.Type("12 3G", kTxFormatHex);
  rig.controller.OnOK();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].caption, "Send");
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_TRUE(rig.timers.running.empty());
  EXPECT_TRUE(rig.worker.handed.empty());
}

TEST(SendController, AbortCutsTheSingleBlockAfterOneMoreByte) {
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(5000, 2));
  rig.controller.OnOK();
  rig.Run(250);
  rig.controller.OnOK();  // ABORT
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_STREQ(rig.controls.buttonLabel, "SEND");
  EXPECT_TRUE(rig.timers.running.empty());
  rig.Run(50);
  EXPECT_EQ(rig.worker.TxBuffer(), nullptr);
  EXPECT_EQ(rig.worker.sent.size(), 251u);
}

struct CountCase {
  const char* count;
  int blocks;  // -1: repeats until stopped
  std::int32_t countAfter;
};

class PeriodicCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(PeriodicCount, SendsExactlyTheCountedBlocks) {
  SendRig rig;
  rig.Type("abc", kTxFormatAscii, true, "50", GetParam().count);
  rig.controller.OnOK();
  EXPECT_STREQ(rig.controls.buttonLabel, "STOP");
  EXPECT_EQ(rig.timers.running, (std::map<int, int>{{101, 10}, {102, 50}}));
  rig.Run(2000);
  if (GetParam().blocks >= 0) {
    EXPECT_EQ(rig.worker.blocksEnded, GetParam().blocks);
    EXPECT_EQ(rig.controller.m_bActive, 0);
    EXPECT_TRUE(rig.timers.running.empty());
    EXPECT_STREQ(rig.controls.buttonLabel, "START");
    EXPECT_EQ(rig.controller.m_nTransmitCount, GetParam().countAfter);
  } else {
    // The start's block, then one per 50 ms tick; the one handed over at the
    // last tick is still in flight.
    EXPECT_EQ(rig.worker.blocksEnded, 40);
    EXPECT_EQ(rig.worker.handed.size(), 41u);
    EXPECT_EQ(rig.controller.m_bActive, 1);
    rig.controller.OnOK();  // STOP
    EXPECT_TRUE(rig.timers.running.empty());
    EXPECT_STREQ(rig.controls.buttonLabel, "START");
    rig.Run(500);
    EXPECT_EQ(rig.worker.blocksEnded, 41);  // a small block finishes after STOP
  }
  EXPECT_EQ(rig.Sent().size(), 3u * rig.worker.blocksEnded);
}

INSTANTIATE_TEST_SUITE_P(Counts, PeriodicCount,
                         ::testing::Values(CountCase{"3", 3, 0}, CountCase{"1", 1, 0},
                                           CountCase{"0", -1, 0}, CountCase{"-1", -1, 0},
                                           // Never wraps round to a limit of its own.
                                           CountCase{"-2147483648", -1, 0},
                                           CountCase{"99999999999", -1, 0}),
                         [](const auto& info) {
                           return std::string(info.param.count[0] == '-' ? "Minus" : "") +
                                  (info.param.count + (info.param.count[0] == '-'));
                         });

TEST(SendController, SlowBlocksRepeatBackToBackAtTickGranularity) {
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(120, 3), kTxFormatAscii, true, "50", "3");
  rig.controller.OnOK();
  rig.Run(1000);
  EXPECT_EQ(rig.worker.blocksEnded, 3);
  EXPECT_EQ(rig.controller.m_bActive, 0);
}

class StopLetsSmallBlocksFinish : public ::testing::TestWithParam<int> {};

TEST_P(StopLetsSmallBlocksFinish, CutsOnlyBlocksOver1024Bytes) {
  const int size = GetParam();
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(static_cast<std::size_t>(size), 4), kTxFormatAscii, true, "10", "0");
  rig.controller.OnOK();
  rig.Run(300);
  rig.controller.OnOK();  // STOP
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_TRUE(rig.timers.running.empty());
  rig.Run(2000);
  EXPECT_EQ(rig.worker.TxBuffer(), nullptr);
  EXPECT_EQ(rig.worker.blocksEnded, 1);
  if (size <= 1024)
    EXPECT_EQ(rig.worker.sent.size(), static_cast<std::size_t>(size));
  else
    EXPECT_EQ(rig.worker.sent.size(), 301u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StopLetsSmallBlocksFinish, ::testing::Values(1024, 1025));

class StartWhileDraining : public ::testing::TestWithParam<std::size_t> {};

// A STOP lets a block of up to 1024 bytes finish; a start meanwhile must
// neither overwrite it (a shorter text) nor reallocate it (a longer one).
TEST_P(StartWhileDraining, ParsesIntoTheOtherBlockAndWaitsForTheWorker) {
  SendRig rig;
  rig.turnsPerMs = 1;
  const std::string first = Pattern(1000, 5);
  rig.Type(first, kTxFormatAscii, true, "10", "0");
  rig.controller.OnOK();
  rig.Run(200);
  rig.controller.OnOK();  // STOP: 1000 bytes are left to finish
  const std::uint8_t* inFlight = rig.worker.TxBuffer();
  ASSERT_NE(inFlight, nullptr);

  const std::string second = Pattern(GetParam(), 6);
  rig.Type(second);
  rig.controller.OnOK();
  EXPECT_EQ(rig.controller.m_bActive, 1);
  EXPECT_EQ(rig.worker.handed.size(), 1u);  // still waiting for the first block
  EXPECT_EQ(rig.worker.m_nTxLength, 1000);  // the draining block keeps its length
  EXPECT_EQ(rig.progress.range.second, static_cast<std::int32_t>(second.size()));
  rig.Run(100);
  EXPECT_EQ(rig.progress.pos, 0);  // no progress shown for the other block
  rig.RunUntilIdle(5000);
  ASSERT_EQ(rig.worker.handed.size(), 2u);
  EXPECT_NE(rig.worker.handed[1], inFlight);
  EXPECT_TRUE(rig.Sent() == first + second);

  // Idle again: the next start may use either block.
  rig.Type("xyz");
  rig.controller.OnOK();
  rig.RunUntilIdle(1000);
  EXPECT_TRUE(rig.Sent() == first + second + "xyz");
}

INSTANTIATE_TEST_SUITE_P(SecondTextSize, StartWhileDraining, ::testing::Values(500, 2000));

TEST(SendController, AbortBeforeTheDeferredHandOverLeavesTheDrainingBlockAlone) {
  SendRig rig;
  rig.turnsPerMs = 1;
  const std::string first = Pattern(800, 7);
  rig.Type(first, kTxFormatAscii, true, "10", "0");
  rig.controller.OnOK();
  rig.Run(100);
  rig.controller.OnOK();  // STOP, 800 bytes finish
  rig.Type("second");
  rig.controller.OnOK();
  rig.controller.OnOK();  // ABORT before the worker let go of the first block
  EXPECT_TRUE(rig.timers.running.empty());
  rig.Run(2000);
  EXPECT_TRUE(rig.Sent() == first);
  EXPECT_EQ(rig.worker.handed.size(), 1u);
}

TEST(SendController, CloseDuringSendStopsBothTimersAndCutsTheBlock) {
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(600, 8), kTxFormatAscii, true, "20", "5");
  rig.controller.OnOK();
  rig.Run(100);
  rig.controller.OnClose();
  EXPECT_EQ(rig.controller.m_bActive, 0);
  EXPECT_TRUE(rig.timers.running.empty());
  EXPECT_EQ(rig.worker.m_nTxLength, 0);
  rig.Run(100);
  EXPECT_EQ(rig.worker.sent.size(), 101u);
  EXPECT_EQ(rig.worker.TxBuffer(), nullptr);
  // Reopening shows the run's options with the idle label.
  rig.controller.OnInitDialog();
  EXPECT_STREQ(rig.controls.buttonLabel, "START");
  EXPECT_EQ(rig.shownText, Pattern(600, 8));
}

TEST(SendController, ClosedPortTakesNothingUntilItOpens) {
  SendRig rig;
  rig.worker.portOpen = false;
  rig.Type("data");
  rig.controller.OnOK();
  rig.Run(1000);
  EXPECT_EQ(rig.controller.m_bActive, 1);  // stays active, progress at 0
  EXPECT_EQ(rig.progress.pos, 0);
  EXPECT_TRUE(rig.worker.sent.empty());
  rig.controller.OnOK();  // ABORT: the block stays pending with length 0
  EXPECT_NE(rig.worker.TxBuffer(), nullptr);

  // A new start must wait for the worker to let go of the pending block.
  rig.Type("next");
  rig.controller.OnOK();
  rig.Run(300);
  EXPECT_EQ(rig.worker.handed.size(), 1u);
  rig.worker.portOpen = true;
  rig.RunUntilIdle(1000);
  EXPECT_EQ(rig.Sent(), "dnext");  // the aborted block ends after one byte
}

TEST(SendController, ModeChangeDuringARunLeavesNoTimerBehind) {
  SendRig rig;
  rig.turnsPerMs = 1;
  rig.Type(Pattern(3000, 9));
  rig.controller.OnOK();
  rig.fields.periodic = 1;
  rig.controller.OnOptionClicked();
  EXPECT_STREQ(rig.controls.buttonLabel, "STOP");
  EXPECT_EQ(rig.timers.running, (std::map<int, int>{{101, 100}}));
  rig.controller.OnOK();
  EXPECT_TRUE(rig.timers.running.empty());
  EXPECT_STREQ(rig.controls.buttonLabel, "START");
  rig.Run(10);
  EXPECT_LT(rig.worker.sent.size(), 3000u);  // the single run was aborted

  // Periodic run, mode switched off: STOP still removes the period timer.
  rig.Type("ab", kTxFormatAscii, true, "30", "-1");
  rig.controller.OnOK();
  rig.fields.periodic = 0;
  rig.controller.OnOptionClicked();
  EXPECT_STREQ(rig.controls.buttonLabel, "ABORT");
  rig.Run(100);
  EXPECT_EQ(rig.controller.m_bActive, 1);  // the run keeps repeating
  rig.controller.OnOK();
  EXPECT_TRUE(rig.timers.running.empty());
}

TEST(SendController, PeriodBelowTheTimerMinimumRunsAt10Ms) {
  for (const char* period : {"0", "-5", "3"}) {
    SendRig rig;
    rig.Type("a", kTxFormatAscii, true, period, "0");
    rig.controller.OnOK();
    EXPECT_EQ(rig.timers.running[102], 10) << period;
  }
}

TEST(SendController, FloatStartShowsTheLengthMovedToFour) {
  SendRig rig;
  rig.Type("1 -2", kTxFormatFloat);
  rig.fields.unitIndex = 0;
  rig.controller.OnOK();
  EXPECT_EQ(rig.shownUnitIndex, 3);
  EXPECT_EQ(rig.worker.m_nTxLength, 8);
}

TEST(SendController, FileModeShowsTheDecreasedCountAfterStartAndStop) {
  testing::TempDir dir;
  testing::WriteBytes(dir.File("f.bin"), {1, 2, 3});
  SendRig rig;
  rig.controller.OnBrowseChosen(dir.File("f.bin"));
  EXPECT_EQ(rig.shownText, "File: " + dir.File("f.bin"));
  rig.fields.text = rig.shownText;
  rig.fields.sendFile = 1;
  rig.fields.periodic = 1;
  rig.fields.period = "20";
  rig.fields.transmitCount = "2";
  rig.controller.OnOK();
  EXPECT_EQ(rig.shownCount, 1);
  rig.RunUntilIdle(1000);
  EXPECT_EQ(rig.shownCount, 0);
  EXPECT_EQ(rig.worker.sent, (std::vector<std::uint8_t>{1, 2, 3, 1, 2, 3}));
}

struct ControlsCase {
  std::int32_t periodic, active, sendFile;
  const char* label;
};

TEST(SendController, UpdateControlsTable) {
  const ControlsCase cases[] = {{0, 0, 0, "SEND"}, {0, 1, 0, "ABORT"}, {1, 0, 0, "START"},
                                {1, 1, 0, "STOP"}, {0, 0, 1, "SEND"},  {1, 1, 1, "STOP"}};
  for (const ControlsCase& c : cases) {
    SendRig rig;
    rig.controller.Parser().m_strText = "typed";
    rig.controller.m_bPeriodic = c.periodic;
    rig.controller.m_bActive = c.active;
    rig.controller.Parser().m_bSendFile = c.sendFile;
    const SendControls got = rig.controller.UpdateControls();
    EXPECT_STREQ(got.buttonLabel, c.label);
    EXPECT_EQ(got.textEnabled, c.sendFile == 0);
    EXPECT_EQ(got.browseEnabled, c.sendFile != 0);
    EXPECT_EQ(got.periodEnabled, c.periodic != 0);
    EXPECT_EQ(rig.controller.Parser().m_strText, c.sendFile ? "File: Not selected" : "typed");
    EXPECT_EQ(rig.shows, c.sendFile ? 1 : 0);
  }
}

TEST(SendController, TypedTextSurvivesSendFileTickedAndUntickedAndIsWhatIsSent) {
  for (const bool choose : {false, true}) {  // unticked at once, or after a file was chosen
    SendRig rig;
    rig.fields.text = "ping\\0D\\0A";
    rig.fields.sendFile = 1;
    rig.controller.OnOptionClicked();
    if (choose) rig.controller.OnBrowseChosen("/any/file");
    rig.fields.text = rig.shownText;
    rig.fields.sendFile = 0;
    rig.controller.OnOptionClicked();
    rig.fields.text = rig.shownText;
    rig.controller.OnOK();
    rig.RunUntilIdle(1000);
    EXPECT_EQ(rig.Sent(), "ping\r\n") << choose;
  }
}

// Only the "File: " line that "Send File" put there carries a path.
TEST(SendController, TextShowsTheFilePathOnlyWhileSendFileSetsIt) {
  SendRig rig;
  TransmitParser& parser = rig.controller.Parser();
  parser.m_strFilePath = "/tmp/d\xC3\xA4ta";
  parser.m_bSendFile = 1;
  rig.controller.UpdateControls();
  EXPECT_EQ(parser.m_strText, "File: /tmp/d\xC3\xA4ta");
  EXPECT_TRUE(rig.controller.TextShowsFilePath());
  parser.m_strText = "File: /tmp/other";
  EXPECT_FALSE(rig.controller.TextShowsFilePath());
  parser.m_strText = "File: /tmp/d\xC3\xA4ta";
  parser.m_bSendFile = 0;  // unticked: the same line is typed text now
  EXPECT_FALSE(rig.controller.TextShowsFilePath());
}

TEST(SendController, NotSelectedFileFailsToOpen) {
  SendRig rig;
  rig.fields.sendFile = 1;
  rig.controller.OnOK();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, "Not selected");
  EXPECT_EQ(rig.boxes.shown[0].caption, "Can not open file !");
  EXPECT_EQ(rig.controller.m_bActive, 0);
}

TEST(SendController, BadPeriodShowsTheBoxButTheStartGoesOnWithOldValues) {
  SendRig rig;
  rig.controller.m_nPeriod = 40;
  rig.Type("abc", kTxFormatAscii, true, "fast", "1");
  rig.fields.unitIndex = 2;
  rig.controller.OnOK();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, "Enter an integer.");
  EXPECT_EQ(rig.boxes.shown[0].caption, "Tarnwick");
  EXPECT_EQ(rig.boxes.shown[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(rig.controller.m_bPeriodic, 1);            // read before the bad field
  EXPECT_EQ(rig.controller.Parser().m_nUnitIndex, 0);  // after it: unchanged
  EXPECT_EQ(rig.controller.m_nTransmitCount, -2);      // unchanged -1, then the start's -1
  EXPECT_EQ(rig.timers.running[102], 40);
  EXPECT_EQ(rig.controller.m_bActive, 1);
}

}  // namespace
}  // namespace tarnwick
