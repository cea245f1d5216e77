// Marks the tap's path as a live run's: an exclusive flock on a lock file
// beside the path, held for the run, which the kernel releases however the
// process ends. The lock file is never removed, so two runs that start at
// once always lock the same file. While the link exists the lock file also
// records the terminal it names, so the next run can tell a link that a run
// which died left behind from one somebody made.
#pragma once

#include <string>

namespace tarnwick {

// ".NAME.lock" in the directory of path ("/tmp/ttyV0" -> "/tmp/.ttyV0.lock").
std::string TapLockPath(const std::string& path);

class TapLock {
 public:
  TapLock() = default;
  ~TapLock();
  TapLock(TapLock&& other) noexcept;
  TapLock& operator=(TapLock&&) = delete;
  TapLock(const TapLock&) = delete;
  TapLock& operator=(const TapLock&) = delete;

  // Takes the lock of path without waiting; false with the reason in *why
  // (another run holds it, or the lock file cannot be made or is no plain
  // file).
  bool Take(const std::string& path, std::string* why);

  // Held: whether path is a link into /dev/pts/ that names the terminal the
  // lock file recorded, which only a run that ended without removing its
  // link leaves behind.
  bool IsStaleLink(const std::string& path) const;

  // The link now names terminal; kept until Forget, or through a crash.
  void Record(const std::string& terminal);
  // The link is gone: nothing is recorded any more.
  void Forget();

 private:
  int m_fd = -1;
  bool m_bWritable = false;
};

}  // namespace tarnwick
