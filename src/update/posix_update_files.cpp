#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "update/update_files.h"

extern char** environ;

namespace tarnwick {
namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A temporary file in dir ("" or "x/"), open for writing; -1 when none.
int CreateTemporary(const std::string& dir, std::string& temp) {
  temp = (dir.empty() ? std::string("./") : dir) + (dir.empty() || dir.back() == '/' ? "" : "/") +
         ".tarnwick-update-XXXXXX";
  return ::mkostemp(temp.data(), O_CLOEXEC);
}

// Mode, fsync, close, rename, then the directory's entry made durable. On any
// failure the temporary file goes and path is untouched.
bool FinishFile(int fd, const std::string& temp, const std::string& path, mode_t mode) {
  bool ok = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t mode) {
  std::string temp;
  const int fd = CreateTemporary(DirectoryOf(path), temp);
  if (fd < 0) return false;
  if (!WriteAll(fd, data)) {
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  return FinishFile(fd, temp, path, mode);
}

constexpr std::size_t kWritePiece = 64 * 1024;

}  // namespace

bool PlatformUpdateFiles::DirectoryWritable(const std::string& dir) {
  return ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
}

PlatformUpdateFiles::~PlatformUpdateFiles() { DiscardExecutable(); }

bool PlatformUpdateFiles::BeginExecutable(const std::string& dir) {
  DiscardExecutable();
  m_nTempFd = CreateTemporary(dir, m_strTempPath);
  if (m_nTempFd < 0) m_strTempPath.clear();
  return m_nTempFd >= 0;
}

bool PlatformUpdateFiles::AppendExecutable(std::string_view data) {
  if (m_nTempFd < 0) return false;
  while (!data.empty()) {
    const std::string_view piece = data.substr(0, kWritePiece);
    if (!WriteAll(m_nTempFd, piece)) {
      DiscardExecutable();
      return false;
    }
    data.remove_prefix(piece.size());
  }
  return true;
}

bool PlatformUpdateFiles::FinishExecutable(const std::string& path, const std::string& modelPath) {
  if (m_nTempFd < 0) return false;
  struct stat model {};
  if (::stat(modelPath.c_str(), &model) != 0) {
    DiscardExecutable();
    return false;
  }
  const int fd = std::exchange(m_nTempFd, -1);
  const std::string temp = std::exchange(m_strTempPath, std::string());
  // The permission bits only: a set-user-ID bit has no place on a download.
  return FinishFile(fd, temp, path, model.st_mode & 0777);
}

void PlatformUpdateFiles::DiscardExecutable() {
  if (m_nTempFd < 0) return;
  ::close(std::exchange(m_nTempFd, -1));
  ::unlink(m_strTempPath.c_str());
  m_strTempPath.clear();
}

bool PlatformUpdateFiles::WriteScript(const std::string& path, std::string_view text) {
  return WriteFileAtomically(path, text, 0700);
}

bool PlatformUpdateFiles::StartScript(const std::string& dir, const std::string& name) {
  const std::string script = dir + name;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // Its own session: a signal to the program's process group (Ctrl+C in the
  // terminal it runs from) does not end the script as well.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // Nothing of the program's stays open in the script or the new program.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                     fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
  }
  std::vector<char*> argv = {const_cast<char*>("sh"), const_cast<char*>(script.c_str()), nullptr};
  pid_t pid = 0;
  const int result = ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0;
}

void PlatformUpdateFiles::Remove(const std::string& path) { ::unlink(path.c_str()); }

std::int64_t CurrentProcessId() { return static_cast<std::int64_t>(::getpid()); }

}  // namespace tarnwick
