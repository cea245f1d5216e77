#include "transmit/send_queue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Block k of a producer: its producer byte, k in two bytes, then filler, so a
// block split or mixed with another shows in the output.
Bytes MakeBlock(std::uint8_t producer, int k, std::size_t length) {
  Bytes block(length, static_cast<std::uint8_t>(0xA0 + producer));
  block[0] = producer;
  block[1] = static_cast<std::uint8_t>(k >> 8);
  block[2] = static_cast<std::uint8_t>(k);
  return block;
}

TEST(SendQueue, TwoProducersBlocksStayWholeAndInTheirOrder) {
  constexpr int kBlocks = 400;
  SendQueue queue;
  std::mutex cs;
  std::condition_variable woken;
  bool wake = false;
  queue.SetWake([&] {
    std::lock_guard<std::mutex> lock(cs);
    wake = true;
    woken.notify_one();
  });
  std::vector<BlockDone> done;
  queue.SetBlockDone([&](const BlockDone& d) { done.push_back(d); });

  auto produce = [&](std::uint8_t producer) {
    const auto lengths = testing::RandomBytes(kBlocks, producer);
    for (int k = 0; k < kBlocks; ++k) {
      const PushResult pushed =
          queue.Push({SendSource::kMacro, producer}, MakeBlock(producer, k, 3 + lengths[k]));
      ASSERT_TRUE(pushed) << pushed.Refusal();
    }
  };
  Bytes wire;
  std::thread consumer([&] {
    // Partial writes of changing sizes, as a device that takes what it can.
    const auto sizes = testing::RandomBytes(4096, 7);
    std::size_t turn = 0;
    while (done.size() < 2 * kBlocks) {
      {
        std::unique_lock<std::mutex> lock(cs);
        woken.wait(lock, [&] { return wake || queue.HasWork(); });
        wake = false;
      }
      for (SendQueue::Piece piece = queue.Current(); piece.length > 0; piece = queue.Current()) {
        const std::size_t n = std::min<std::size_t>(piece.length, 1 + sizes[turn++ % 4096] % 64);
        wire.insert(wire.end(), piece.data, piece.data + n);
        queue.Advance(n);
      }
    }
  });
  std::thread first(produce, 1);
  std::thread second(produce, 2);
  first.join();
  second.join();
  consumer.join();

  int next[3] = {0, 0, 0};
  std::size_t at = 0;
  for (const BlockDone& d : done) {
    ASSERT_FALSE(d.cut);
    ASSERT_EQ(d.written, d.size);
    ASSERT_LE(at + d.size, wire.size());
    const auto producer = static_cast<std::uint8_t>(d.origin.owner);
    const Bytes expected = MakeBlock(producer, next[producer]++, d.size);
    ASSERT_EQ(Bytes(wire.begin() + at, wire.begin() + at + d.size), expected) << "at " << at;
    at += d.size;
  }
  EXPECT_EQ(at, wire.size());
  EXPECT_EQ(next[1], kBlocks);
  EXPECT_EQ(next[2], kBlocks);
  EXPECT_FALSE(queue.HasWork());
}

struct BoundCase {
  const char* name;
  std::size_t maxBlocks;
  std::size_t maxBytes;
  std::vector<std::size_t> pushes;
  std::vector<PushStatus> expected;
};

void PrintTo(const BoundCase& c, std::ostream* os) { *os << c.name; }

class SendQueueBounds : public ::testing::TestWithParam<BoundCase> {};

// A refused block changes nothing: what was queued goes out as it was.
TEST_P(SendQueueBounds, RefusesWholeBlocksAndKeepsTheRest) {
  const BoundCase& c = GetParam();
  SendQueue queue(c.maxBlocks, c.maxBytes);
  Bytes queued;
  for (std::size_t i = 0; i < c.pushes.size(); ++i) {
    const Bytes block(c.pushes[i], static_cast<std::uint8_t>(i + 1));
    const PushResult result = queue.Push({}, block);
    EXPECT_EQ(result.status, c.expected[i]) << "push " << i;
    EXPECT_EQ(result.Refusal().empty(), result.status == PushStatus::kQueued);
    if (result) queued.insert(queued.end(), block.begin(), block.end());
  }
  Bytes out;
  for (SendQueue::Piece piece = queue.Current(); piece.length > 0; piece = queue.Current()) {
    out.insert(out.end(), piece.data, piece.data + piece.length);
    queue.Advance(piece.length);
  }
  EXPECT_EQ(out, queued);
}

using S = PushStatus;
INSTANTIATE_TEST_SUITE_P(
    Cases, SendQueueBounds,
    ::testing::Values(
        BoundCase{"BlockCount", 2, 100, {10, 10, 10}, {S::kQueued, S::kQueued, S::kFull}},
        BoundCase{"ByteCount", 10, 100, {60, 50, 40}, {S::kQueued, S::kFull, S::kQueued}},
        BoundCase{"LargerThanTheQueue", 10, 100, {101, 100}, {S::kTooLarge, S::kQueued}},
        BoundCase{"Empty", 10, 100, {0, 1}, {S::kEmpty, S::kQueued}}));

TEST(SendQueue, WithdrawRemovesWaitingBlocksAndCutsTheOneUnderWay) {
  SendQueue queue;
  std::vector<BlockDone> done;
  queue.SetBlockDone([&](const BlockDone& d) { done.push_back(d); });
  const SendOrigin run{SendSource::kSequence, 7};
  ASSERT_TRUE(queue.Push(run, Bytes(10, 'a')));
  ASSERT_TRUE(queue.Push({SendSource::kSendLine, 0}, {'b', 'b'}));
  ASSERT_TRUE(queue.Push(run, Bytes(5, 'c')));
  ASSERT_EQ(queue.Current().length, 10u);
  EXPECT_FALSE(queue.Advance(4));

  EXPECT_EQ(queue.Withdraw(SendSource::kSequence, 7), 2u);
  EXPECT_EQ(queue.Withdraw(SendSource::kSequence, 7), 0u);  // the cut block is not counted twice
  const SendQueue::Piece next = queue.Current();
  EXPECT_EQ(Bytes(next.data, next.data + next.length), (Bytes{'b', 'b'}));
  ASSERT_EQ(done.size(), 1u);
  EXPECT_TRUE(done[0].cut);
  EXPECT_EQ(done[0].written, 4u);
  EXPECT_TRUE(queue.Advance(2));

  // Withdrawn while the worker writes from it: the write that was under way
  // is the last.
  ASSERT_TRUE(queue.Push(run, Bytes(8, 'd')));
  ASSERT_EQ(queue.Current().length, 8u);
  EXPECT_EQ(queue.Withdraw(SendSource::kSequence, 7), 1u);
  EXPECT_TRUE(queue.HasWork());  // until the worker has let go of it
  EXPECT_TRUE(queue.Advance(3));
  ASSERT_EQ(done.size(), 3u);
  EXPECT_TRUE(done[2].cut);
  EXPECT_EQ(done[2].written, 3u);
  EXPECT_EQ(queue.Current().length, 0u);
  EXPECT_FALSE(queue.HasWork());
}

// One script per row: who has something to send, and whose block ends.
struct TurnStep {
  bool dialog, tap, queue;
  Writer expected;
  bool endsBlock;  // the expected writer's block ends after this turn
};

TEST(WriterTurns, BlocksAreWholeAndTheTurnGoesRound) {
  const std::vector<TurnStep> script = {
      {false, false, true, Writer::kQueue, false},
      // The dialog's block arrives while a queue block is under way: it waits.
      {true, false, true, Writer::kQueue, false},
      {true, true, true, Writer::kQueue, true},
      {true, true, true, Writer::kDialog, false},
      {true, true, true, Writer::kDialog, true},
      {true, true, true, Writer::kTap, true},
      {true, true, true, Writer::kQueue, true},
      // A dialog that repeats is not starved by a queue that refills.
      {true, false, true, Writer::kDialog, true},
      {true, false, true, Writer::kQueue, true},
      // The dialog's abort: its block goes without an end being told.
      {true, false, true, Writer::kDialog, false},
      {false, false, true, Writer::kQueue, false},
      {false, false, false, Writer::kNone, false},
  };
  WriterTurns turns;
  for (std::size_t i = 0; i < script.size(); ++i) {
    const TurnStep& step = script[i];
    EXPECT_EQ(turns.Next(step.dialog, step.tap, step.queue), step.expected) << "turn " << i;
    if (step.endsBlock) turns.Ended(step.expected);
  }
}

}  // namespace
}  // namespace tarnwick
