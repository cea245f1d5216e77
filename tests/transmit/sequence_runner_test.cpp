#include "transmit/sequence_runner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "transmit/macro_file.h"
#include "transmit/sequence_feed.h"

namespace tarnwick {
namespace {

using Clock = SequenceRunner::Clock;
using End = SequenceRunner::End;

// One thing that happens to a running sequence, at a time in ms from its start.
struct Event {
  enum Kind { kText, kTime, kWritten, kCut, kStop } kind;
  int ms;
  std::string text{};
};

struct RunCase {
  const char* name;
  std::string steps;  // the steps as the macro file writes them
  std::vector<Event> events;
  End end;
  std::size_t step;  // where it ended
  std::string sent;  // the blocks pushed, in order
  std::size_t timeoutsPassed = 0;
  bool queueFull = false;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class SequenceRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(SequenceRun, EndsAsTheFeedOfTextAndTimeSays) {
  const RunCase& c = GetParam();
  const MacroFileRead read =
      ReadMacroText("tarnwick-macros = 1\nmacro = m\n" + c.steps, std::vector<std::string_view>{});
  ASSERT_TRUE(read.Ok()) << read.error->Describe();
  std::string sent;
  std::uint64_t lastId = 0;
  SequenceRunner runner(
      read.set.pages[0].macros[0].steps,
      [&](std::vector<std::uint8_t> bytes) {
        if (c.queueFull) return PushResult{PushStatus::kFull, 0};
        sent.append(bytes.begin(), bytes.end());
        return PushResult{PushStatus::kQueued, ++lastId};
      },
      nullptr);
  const Clock::time_point start{};
  runner.Start(start);
  for (const Event& event : c.events) {
    const Clock::time_point at = start + std::chrono::milliseconds(event.ms);
    switch (event.kind) {
      case Event::kText:
        runner.OnText(event.text, at);
        break;
      case Event::kTime:
        runner.OnTime(at);
        break;
      case Event::kWritten:
      case Event::kCut:
        runner.OnBlockDone(
            BlockDone{lastId, {SendSource::kSequence, 1}, 0, 0, event.kind == Event::kCut}, at);
        break;
      case Event::kStop:
        runner.Stop();
        break;
    }
  }
  EXPECT_EQ(runner.Ended(), c.end) << runner.Describe("m");
  EXPECT_EQ(runner.Step(), c.step) << runner.Describe("m");
  EXPECT_EQ(sent, c.sent);
  EXPECT_EQ(runner.TimeoutsPassed(), c.timeoutsPassed);
  EXPECT_EQ(runner.Deadline().has_value(), c.end == End::kRunning);
}

constexpr const char* kAskOk = "send ASCII CR = AT\nwait-for 1 s = OK\nsend = next\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, SequenceRun,
    ::testing::Values(
        RunCase{"ReplySplitAcrossChunksInTime",
                kAskOk,
                {{Event::kWritten, 0},
                 {Event::kText, 100, "AT\r\nO"},
                 {Event::kText, 900, "K\r\n"},
                 {Event::kWritten, 950}},
                End::kDone,
                3,
                "AT\rnext"},
        RunCase{"TimeoutStops",
                kAskOk,
                {{Event::kWritten, 0},
                 {Event::kText, 500, "ERROR\r\n"},
                 {Event::kTime, 1000},
                 {Event::kText, 1001, "OK"}},
                End::kTimedOut,
                1,
                "AT\r"},
        RunCase{"TimeoutGoesOn",
                "send ASCII CR = AT\nwait-for 1 s continue = OK\nsend = next\n",
                {{Event::kWritten, 0}, {Event::kTime, 1000}, {Event::kWritten, 1010}},
                End::kDone,
                3,
                "AT\rnext",
                1},
        // The timer comes late: text after the deadline is not the reply.
        RunCase{"TextAfterTheDeadlineIsLate",
                kAskOk,
                {{Event::kWritten, 0}, {Event::kText, 1200, "OK"}},
                End::kTimedOut,
                1,
                "AT\r"},
        RunCase{"TextBeforeTheWriteDoesNotCount",
                kAskOk,
                {{Event::kText, 0, "OK\r\n"}, {Event::kWritten, 10}, {Event::kTime, 1010}},
                End::kTimedOut,
                1,
                "AT\r"},
        RunCase{"TextDuringAnEarlierWaitDoesNotCount",
                "wait = 500 ms\nwait-for 1 s = OK\n",
                {{Event::kText, 100, "OK"}, {Event::kTime, 500}, {Event::kTime, 1500}},
                End::kTimedOut,
                1,
                ""},
        RunCase{"OneChunkAnswersTwoWaitsInOrder",
                "wait-for 1 s = OK\nwait-for 1 s = READY\n",
                {{Event::kText, 10, "OK\r\nREADY\r\n"}},
                End::kDone,
                2,
                ""},
        RunCase{"TheSecondReplyMustComeAfterTheFirst",
                "wait-for 1 s = READY\nwait-for 1 s = OK\n",
                {{Event::kText, 10, "OK\r\nREADY\r\n"}},
                End::kRunning,
                1,
                ""},
        RunCase{"NothingCarriedOverASend",
                "wait-for 1 s = OK\nsend = x\nwait-for 1 s = READY\n",
                {{Event::kText, 10, "OK READY"}, {Event::kWritten, 20}, {Event::kTime, 1020}},
                End::kTimedOut,
                2,
                "x"},
        RunCase{"RegexAcrossChunksAndLines",
                "wait-for-regex 1 s = ^\\+CSQ: \\d+,\\d+\\r?$\n",
                {{Event::kText, 10, "AT+CSQ\r\n+CSQ: 2"}, {Event::kText, 20, "3,99\r\nOK"}},
                End::kDone,
                1,
                ""},
        RunCase{"RegexLineEndMustHaveCome",
                "wait-for-regex 1 s = 99$\n",
                {{Event::kText, 10, "+CSQ: 23,99"}, {Event::kTime, 1010}},
                End::kTimedOut,
                0,
                ""},
        // Breadth first: this would take ages to backtrack.
        RunCase{"PathologicalPatternEnds",
                "wait-for-regex 1 s = (a+)+b\n",
                {{Event::kText, 10, std::string(3000, 'a')},
                 {Event::kText, 20, std::string(3000, 'a')},
                 {Event::kTime, 1010}},
                End::kTimedOut,
                0,
                ""},
        RunCase{"LateTimerKeepsTheSchedule",
                "wait = 100 ms\nwait = 100 ms\nwait = 100 ms\n",
                {{Event::kTime, 250}},
                End::kRunning,
                2,
                ""},
        RunCase{"Stopped",
                kAskOk,
                {{Event::kWritten, 0}, {Event::kStop, 10}, {Event::kText, 20, "OK"}},
                End::kStopped,
                1,
                "AT\r"},
        RunCase{"BlockCutShort", kAskOk, {{Event::kCut, 0}}, End::kFailed, 0, "AT\r"},
        RunCase{"QueueFull", kAskOk, {}, End::kFailed, 0, "", 0, true}));

TEST(SequenceRunner, DescribesHowItEnded) {
  const MacroFileRead read =
      ReadMacroText("tarnwick-macros = 1\nmacro = m\nsend = AT\nwait-for 2 s = OK\n",
                    std::vector<std::string_view>{});
  ASSERT_TRUE(read.Ok());
  SequenceRunner runner(
      read.set.pages[0].macros[0].steps,
      [](std::vector<std::uint8_t>) {
        return PushResult{PushStatus::kQueued, 1};
      },
      nullptr);
  runner.Start({});
  runner.OnBlockDone(BlockDone{1, {}, 2, 2, false}, {});
  EXPECT_EQ(runner.Describe("Boot"), "Sequence \"Boot\": step 2 of 2, wait for \"OK\" (2 s)");
  runner.OnTime(Clock::time_point{} + std::chrono::seconds(2));
  EXPECT_EQ(runner.Describe("Boot"),
            "Sequence \"Boot\" timed out at step 2, wait for \"OK\" (2 s)");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

std::vector<std::uint8_t> Bytes(const char* text) {
  return std::vector<std::uint8_t>(text, text + std::strlen(text));
}

BlockDone Done(std::uint64_t id) {
  BlockDone done;
  done.id = id;
  return done;
}

std::string Summary(const std::vector<FeedEvent>& events) {
  std::string text;
  for (const FeedEvent& event : events)
    text += event.kind == FeedEvent::Kind::kBlockDone ? "#" + std::to_string(event.done.id) + " "
                                                      : event.bytes + " ";
  return text;
}

// What the worker tells the window, step by step: blocks written and, while
// someone listens, bytes read, kept in the worker's order; the window is
// told once each time the feed goes from empty to not empty.
TEST(SequenceFeed, KeepsTheWorkersOrderAndTellsOnceUntilTaken) {
  SequenceFeed feed;
  int told = 0;
  feed.SetNotify([&] { ++told; });
  std::string taken;
  const struct {
    const char* what;
    std::function<void()> step;
    int told;           // notifications so far
    std::string taken;  // what all takes so far gave, "#id" a block, text the bytes
  } steps[] = {
      {"bytes while nobody listens go", [&] { feed.OnReceived(Bytes("OK").data(), 2); }, 0, ""},
      {"a block is always told", [&] { feed.OnBlockDone(Done(7)); }, 1, ""},
      {"listening from now on", [&] { feed.Listen(true); }, 1, ""},
      {"reads in a row join",
       [&] {
         feed.OnReceived(Bytes("O").data(), 1);
         feed.OnReceived(Bytes("K").data(), 1);
       },
       1, ""},
      {"then the next block", [&] { feed.OnBlockDone(Done(8)); }, 1, ""},
      {"taken in order", [&] { taken += Summary(feed.Take()); }, 1, "#7 OK #8 "},
      {"empty again: told again", [&] { feed.OnReceived(Bytes("A").data(), 1); }, 2, "#7 OK #8 "},
      {"listening anew drops what was read before",
       [&] {
         feed.Listen(false);
         feed.Listen(true);
         feed.OnReceived(Bytes("B").data(), 1);
         taken += Summary(feed.Take());
       },
       3, "#7 OK #8 B "},
  };
  for (const auto& s : steps) {
    s.step();
    EXPECT_EQ(told, s.told) << s.what;
    EXPECT_EQ(taken, s.taken) << s.what;
  }
}

}  // namespace
}  // namespace tarnwick
