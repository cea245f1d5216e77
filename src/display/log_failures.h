// Which logs cannot be written at the moment, for the status bar, and how
// many bytes each has lost. Each log
// file reports every attempt to write (on whatever thread writes it); the
// state changes only when a log starts or stops failing, or fails otherwise
// than before, and only then is the listener told. A report that changes
// nothing costs one atomic load.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// kSent: the second raw log, of the sent direction.
enum class LogKind { kRaw, kText, kSent };

class LogFailures {
 public:
  struct Failure {
    LogKind kind;
    std::string path;  // the file system's bytes
    int error;         // errno value
    friend bool operator==(const Failure&, const Failure&) = default;
  };

  // Called on the reporting thread after each change, with the state lock
  // held: it must only hand the news on (post it), never report or block.
  // After SetListener returns, the previous listener is not called again.
  void SetListener(std::function<void()> listener);

  // error 0: the log was written; otherwise the errno value of the failure.
  void Report(LogKind kind, std::string_view path, int error);

  // The logs failing now, the raw log first.
  std::vector<Failure> Current() const;

  // Bytes a log was given but could not write (a reader too slow, a full
  // disk, a file that would not open), counted since the start; any thread.
  void CountLost(LogKind kind, std::uint64_t bytes) {
    m_nLost[static_cast<int>(kind)].fetch_add(bytes, std::memory_order_relaxed);
  }
  std::uint64_t Lost(LogKind kind) const {
    return m_nLost[static_cast<int>(kind)].load(std::memory_order_relaxed);
  }

 private:
  static constexpr int kKinds = 3;

  mutable std::mutex m_csState;
  std::atomic<bool> m_bFailing[kKinds] = {};
  Failure m_failures[kKinds] = {
      {LogKind::kRaw, {}, 0}, {LogKind::kText, {}, 0}, {LogKind::kSent, {}, 0}};
  std::function<void()> m_listener;
  std::atomic<std::uint64_t> m_nLost[kKinds] = {};
};

}  // namespace tarnwick
