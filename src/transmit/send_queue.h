// The one ordered queue of whole blocks in front of the port worker: the send
// line, typed keys, macros and sequences push; the worker writes each block
// whole before the next, so no block is ever interleaved inside another.
//
// The worker, whenever the queue has the line (see WriterTurns):
//
//   SendQueue::Piece piece = queue.Current();
//   IoResult out = device.Write(piece.data, piece.length);
//   count out.count in m_nBytesWritten, hand the bytes to
//   Conversation::DeliverSent (sent direction, sent raw log), then
//   if (queue.Advance(out.count)) turns.Ended(Writer::kQueue);
//
// Blocks wait while the port is closed and go on the port that opens.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick {

enum class SendSource : std::uint8_t { kSendLine, kTypedKeys, kMacro, kSequence };

// Who pushed a block: the source, and which of its users (a macro, a run of
// a sequence) in the pusher's own numbering.
struct SendOrigin {
  SendSource source = SendSource::kSendLine;
  std::uint64_t owner = 0;
};

enum class PushStatus : std::uint8_t {
  kQueued,
  kEmpty,
  kFull,
  kTooLarge,
  kDisconnected,  // refused by the window while the port is let go of
};

struct PushResult {
  PushStatus status = PushStatus::kQueued;
  std::uint64_t id = 0;  // the block's number, from 1, when queued
  explicit operator bool() const { return status == PushStatus::kQueued; }
  // Why the block was refused, for the status bar; empty when it was queued.
  std::string Refusal() const;
};

// A block left the queue: written whole, or cut short by Withdraw or Clear
// while the worker was writing it.
struct BlockDone {
  std::uint64_t id = 0;
  SendOrigin origin;
  std::size_t written = 0;
  std::size_t size = 0;
  bool cut = false;
};

class SendQueue {
 public:
  static constexpr std::size_t kDefaultMaxBlocks = 4096;
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{16} << 20;

  explicit SendQueue(std::size_t maxBlocks = kDefaultMaxBlocks,
                     std::size_t maxBytes = kDefaultMaxBytes);
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  // Before the worker starts. wake: called after each push, outside the
  // queue's lock (the worker's backend Wake). done: called on the worker's
  // thread as each block leaves; it must only hand the news on, in order
  // with whatever the worker reads afterwards (a sequence waits for its
  // block before it looks at the reply).
  void SetWake(std::function<void()> wake) { m_wake = std::move(wake); }
  void SetBlockDone(std::function<void(const BlockDone&)> done) { m_done = std::move(done); }

  // Any thread. A full queue refuses the whole block and keeps what it has;
  // an empty block is refused as nothing to send.
  PushResult Push(SendOrigin origin, std::vector<std::uint8_t> bytes);
  // Removes the owner's blocks that have not begun and cuts its block under
  // way short after the bytes already written. Returns the blocks removed
  // or cut.
  std::size_t Withdraw(SendSource source, std::uint64_t owner);
  // Every block, as Withdraw does.
  std::size_t Clear();
  // Blocks waiting or under way: one atomic load, for the worker's turn.
  bool HasWork() const { return m_nBlocks.load(std::memory_order_acquire) != 0; }
  std::size_t Blocks() const { return m_nBlocks.load(std::memory_order_acquire); }

  // Worker thread. The rest of the block under way, the next block taken
  // when none is; {nullptr, 0} when the queue is empty. The bytes stay valid
  // until the next Current or Advance.
  struct Piece {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    SendOrigin origin;  // who pushed the block
  };
  Piece Current();
  // written bytes of the block under way went to the device. True when that
  // ended the block.
  bool Advance(std::size_t written);

 private:
  struct Block {
    std::uint64_t id = 0;
    SendOrigin origin;
    std::vector<std::uint8_t> bytes;
    std::size_t written = 0;
  };
  bool Matches(const Block& block, SendSource source, std::uint64_t owner) const;
  std::size_t Drop(bool all, SendSource source, std::uint64_t owner);
  // Under m_cs: the block under way leaves; the caller reports it.
  BlockDone Release(bool cut);

  const std::size_t m_nMaxBlocks;
  const std::size_t m_nMaxBytes;
  std::function<void()> m_wake;
  std::function<void(const BlockDone&)> m_done;

  mutable std::mutex m_cs;
  std::deque<Block> m_waiting;
  // Only the worker replaces it, so its bytes stay put while written.
  std::unique_ptr<Block> m_pUnderWay;
  std::size_t m_nBytes = 0;  // of the blocks waiting and under way
  std::uint64_t m_nNextId = 1;
  bool m_bCut = false;  // the block under way ends at the worker's next look
  std::atomic<std::size_t> m_nBlocks{0};
};

// Who writes to the device next. The worker has three writers: the Send data
// dialog's block (through its hand-over words, a byte per turn), the tap
// program's chunks and the send queue's blocks. A writer that has begun a
// block keeps the line until the block ends, so blocks never mix; then the
// turn passes on in a fixed round (dialog, tap, queue). Whoever has something
// to send waits behind at most one block or chunk of each other writer, so
// the dialog's repeats never stall behind a queue that keeps filling, nor
// the queue behind the dialog.
enum class Writer : std::uint8_t { kNone, kDialog, kTap, kQueue };

class WriterTurns {
 public:
  // The writer that may write this turn, given who has something to write;
  // kNone when nobody has. A holder with nothing left lets go.
  Writer Next(bool dialogPending, bool tapPending, bool queuePending);
  // The writer's block (the dialog's pointer went null, the tap's chunk went
  // whole, the queue's Advance returned true) ended.
  void Ended(Writer writer);
  Writer Holder() const { return m_holder; }

 private:
  Writer m_holder = Writer::kNone;
  Writer m_last = Writer::kQueue;  // the round starts with the dialog
};

}  // namespace tarnwick
