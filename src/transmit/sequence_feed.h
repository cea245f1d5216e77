// What the window's thread hears from the port worker for the senders: the
// send queue's word that a block left, and, while someone listens, the bytes
// read. Both are kept in the worker's order, so a sequence never looks for a
// reply before the word that the block it answers was written, nor counts
// text read before that. The worker's thread puts; the window's takes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "port/received_listener.h"
#include "transmit/send_queue.h"

namespace tarnwick {

struct FeedEvent {
  enum class Kind : std::uint8_t { kBlockDone, kReceived };
  Kind kind = Kind::kReceived;
  BlockDone done;     // kBlockDone
  std::string bytes;  // kReceived: the bytes of one or more reads in a row
  // When the block left, or when the last of the bytes were read.
  std::chrono::steady_clock::time_point at;
};

class SequenceFeed final : public ReceivedListener {
 public:
  // Received bytes kept for a taker that has fallen behind; beyond this the
  // oldest go (a wait looks at the newest).
  static constexpr std::size_t kMaxHeldBytes = std::size_t{1} << 20;

  // Before the worker starts: called on the worker's thread when the feed
  // had nothing and now has something; it must only hand the news on.
  void SetNotify(std::function<void()> notify) { m_notify = std::move(notify); }
  // Any thread: whether reads are kept. Switched on, it starts empty of
  // bytes: only what is read from now on counts.
  void Listen(bool on);

  // Worker thread.
  void OnBlockDone(const BlockDone& done);
  void OnReceived(const std::uint8_t* data, std::size_t length) override;

  // The events so far, oldest first; the feed is empty afterwards.
  std::vector<FeedEvent> Take();

 private:
  void Put(FeedEvent event);

  std::function<void()> m_notify;
  std::atomic<bool> m_bListening{false};
  std::mutex m_cs;
  std::vector<FeedEvent> m_events;
  std::size_t m_nHeldBytes = 0;
};

}  // namespace tarnwick
