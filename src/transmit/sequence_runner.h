// Runs a macro's steps: sends through the send queue, waits a time, waits for
// the received text. Driven from one thread by three calls: the time (at
// Deadline(), or whenever convenient), the received text decoded to UTF-8
// in the chunks it comes in, and the queue's word that a block left.
//
// A wait for text counts only text that arrived after its step began: a
// reply already on the screen does not satisfy it. A send step ends once its
// block has been written, so the wait after it sees the reply to it; the
// queue's word must therefore reach the runner before any text read after
// the write (both come from the worker, in that order).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transmit/macro.h"
#include "transmit/send_queue.h"
#include "transmit/text_wait.h"

namespace tarnwick {

class SequenceRunner {
 public:
  using Clock = std::chrono::steady_clock;
  // Pushes a send step's bytes, as SendQueue::Push does for the sequence.
  using Sender = std::function<PushResult(std::vector<std::uint8_t>)>;

  enum class End : std::uint8_t {
    kRunning,
    kDone,      // every step ran
    kTimedOut,  // a wait for text with "stop" timed out
    kStopped,   // Stop
    kFailed,    // a step could not send
  };

  SequenceRunner(std::vector<SequenceStep> steps, Sender send, TextEncoder encode);

  void Start(Clock::time_point now);
  void OnTime(Clock::time_point now);
  void OnText(std::string_view utf8, Clock::time_point now);
  void OnBlockDone(const BlockDone& done, Clock::time_point now);
  // The user's stop; the caller withdraws the sequence's blocks from the queue.
  void Stop();

  End Ended() const { return m_end; }
  bool Running() const { return m_end == End::kRunning; }
  // The step running, or where the run ended (a whole run ends past the last).
  std::size_t Step() const { return m_nStep; }
  std::size_t Steps() const { return m_steps.size(); }
  // When OnTime has something to do; nothing while waiting only for text or
  // for a block.
  std::optional<Clock::time_point> Deadline() const { return m_deadline; }
  // Waits for text that timed out and were passed over.
  std::size_t TimeoutsPassed() const { return m_nTimeoutsPassed; }

  // For the status bar: how the run of the sequence named name ended, or
  // which step it is at.
  std::string Describe(std::string_view name) const;

 private:
  // Runs steps from m_nStep on until one has to wait. carried: text that
  // arrived after the previous wait's match, for a wait for text that
  // follows at once.
  void Run(Clock::time_point now, std::string carried);
  void Finish(End end, std::string reason = {});

  std::vector<SequenceStep> m_steps;
  Sender m_send;
  TextEncoder m_encode;
  End m_end = End::kRunning;
  bool m_bStarted = false;
  std::size_t m_nStep = 0;
  std::optional<Clock::time_point> m_deadline;
  std::optional<TextWait> m_wait;
  std::uint64_t m_nAwaitedBlock = 0;
  std::size_t m_nTimeoutsPassed = 0;
  std::string m_strReason;
};

}  // namespace tarnwick
