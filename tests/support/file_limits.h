// File-system conditions for log tests: a file-size limit that makes writes
// fail as a full disk does, and a look at which files the process holds open.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

namespace tarnwick::testing {

// Lowers the file-size limit of the whole process while it lives: a write
// past limit bytes fails with EFBIG (for root as well) instead of raising
// SIGXFSZ.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lowered = m_saved;
    lowered.rlim_cur = limit;
    m_ok = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~ScopedFileSizeLimit() { Lift(); }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  bool ok() const { return m_ok; }
  // Back to the limit there was before; later calls do nothing.
  void Lift() {
    if (m_lifted) return;
    m_lifted = true;
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
  }

 private:
  struct rlimit m_saved {};
  void (*m_oldHandler)(int) = SIG_DFL;
  bool m_ok = false;
  bool m_lifted = false;
};

// How many descriptors of this process are open on the file at path.
inline int DescriptorsOpenOn(const std::string& path) {
  std::error_code error;
  const auto wanted = std::filesystem::canonical(path, error);
  if (error) return 0;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code ignored;
    if (std::filesystem::read_symlink(entry.path(), ignored) == wanted) ++count;
  }
  return count;
}

}  // namespace tarnwick::testing
