#include "display/log_failures.h"

namespace tarnwick {

void LogFailures::SetListener(std::function<void()> listener) {
  std::lock_guard lock(m_csState);
  m_listener = std::move(listener);
}

void LogFailures::Report(LogKind kind, std::string_view path, int error) {
  const int index = static_cast<int>(kind);
  // The common case: a log that writes, as it did before.
  if (error == 0 && !m_bFailing[index].load(std::memory_order_acquire)) return;
  std::lock_guard lock(m_csState);
  Failure& failure = m_failures[index];
  const bool failing = error != 0;
  if (failing == m_bFailing[index].load(std::memory_order_relaxed) &&
      (!failing || (failure.error == error && failure.path == path)))
    return;
  failure.path = failing ? std::string(path) : std::string();
  failure.error = error;
  m_bFailing[index].store(failing, std::memory_order_release);
  if (m_listener) m_listener();
}

std::vector<LogFailures::Failure> LogFailures::Current() const {
  std::lock_guard lock(m_csState);
  std::vector<Failure> failing;
  for (int i = 0; i < kKinds; ++i) {
    if (m_bFailing[i].load(std::memory_order_relaxed)) failing.push_back(m_failures[i]);
  }
  return failing;
}

}  // namespace tarnwick
