#include "platform/posix_tap_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/error_text.h"

namespace tarnwick {

namespace {

constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The lock file, made when missing. Another user's lock file is opened for
// reading: a lock needs no more, it only cannot record then. -1 and errno on
// failure.
int OpenLockFile(const std::string& lockPath, bool* writable) {
  // Two runs may make it at once: the one that loses opens the winner's.
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = ::open(lockPath.c_str(), O_RDWR | kOpenFlags);
    *writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS))
      fd = ::open(lockPath.c_str(), O_RDONLY | kOpenFlags);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0644);
    *writable = fd >= 0;
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string TapLockPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".lock";
}

TapLock::~TapLock() {
  // Closing the only descriptor of the open file releases the lock.
  if (m_fd >= 0) ::close(m_fd);
}

TapLock::TapLock(TapLock&& other) noexcept : m_fd(other.m_fd), m_bWritable(other.m_bWritable) {
  other.m_fd = -1;
}

bool TapLock::Take(const std::string& path, std::string* why) {
  const std::string lockPath = TapLockPath(path);
  const int fd = OpenLockFile(lockPath, &m_bWritable);
  if (fd < 0) {
    *why = errno == ELOOP ? "its lock file " + lockPath + " is a link. Remove it."
                          : "its lock file " + lockPath + ": " + SystemErrorText(errno);
    return false;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *why = "its lock file " + lockPath + " is not a plain file. Remove it.";
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd);
    *why = code == EWOULDBLOCK ? std::string("another run of Tarnwick offers it.")
                               : "its lock file " + lockPath + ": " + SystemErrorText(code);
    return false;
  }
  m_fd = fd;
  return true;
}

bool TapLock::IsStaleLink(const std::string& path) const {
  if (m_fd < 0) return false;
  char target[PATH_MAX];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) return false;
  const std::string terminal(target, static_cast<std::size_t>(length));
  if (terminal.rfind("/dev/pts/", 0) != 0) return false;
  char recorded[PATH_MAX + 1];
  const ssize_t read = ::pread(m_fd, recorded, sizeof recorded, 0);
  return read > 0 && std::string(recorded, static_cast<std::size_t>(read)) == terminal + "\n";
}

void TapLock::Record(const std::string& terminal) {
  if (m_fd < 0 || !m_bWritable) return;
  const std::string line = terminal + "\n";
  if (::ftruncate(m_fd, 0) != 0) return;
  // A short write records nothing that matches: the link is then kept, never
  // replaced by mistake.
  [[maybe_unused]] const ssize_t written = ::pwrite(m_fd, line.data(), line.size(), 0);
}

void TapLock::Forget() {
  if (m_fd < 0 || !m_bWritable) return;
  [[maybe_unused]] const int cleared = ::ftruncate(m_fd, 0);
}

}  // namespace tarnwick
