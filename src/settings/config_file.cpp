#include "settings/config_file.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#endif

namespace tarnwick {
namespace {

constexpr const char* kLoadFailedText = "Configuration file not found !";
constexpr const char* kLoadFailedCaption = "Tarnwick initialization";
constexpr const char* kSaveFailedText = "Can not save onfiguration !";
constexpr const char* kSaveFailedCaption = "Quelvane";

#ifndef _WIN32
// Whether the kernel would follow the symbolic link at path for this process
// (fs.protected_symlinks): in a sticky, world-writable directory such as /tmp
// only a link of this user or of the directory's owner. Anyone may plant a
// link there, and following it by hand would let them aim a save at any file
// this user can write.
bool MayFollow(const std::filesystem::path& path) {
  const std::filesystem::path dir =
      path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  struct stat link {};
  struct stat parent {};
  if (::lstat(path.c_str(), &link) != 0 || ::stat(dir.c_str(), &parent) != 0) return false;
  const bool shared = (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == ::geteuid() || link.st_uid == parent.st_uid;
}
#else
bool MayFollow(const std::filesystem::path&) { return true; }
#endif

// The file a save writes: Tarnwick.cfg itself or, through symbolic links, the
// file it names, so the link stays a link. Empty when a link may not be
// followed: the save is refused.
std::filesystem::path ResolveLinks(std::filesystem::path path) {
  std::error_code error;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, error); ++hops) {
    if (!MayFollow(path)) return {};
    const std::filesystem::path next = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(::_getpid());
#else
  return static_cast<long>(::getpid());
#endif
}

// Temporary files are named "<target>.<pid>.<n>.tmp" beside the target.
std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temp = target;
  temp += "." + std::to_string(ProcessId()) + "." + std::to_string(counter++) + ".tmp";
  return temp;
}

// The process id in a temporary file name of target, or -1 for any other name.
long long TemporaryOwner(const std::string& name, const std::string& targetName) {
  const std::string prefix = targetName + ".";
  const std::string suffix = ".tmp";
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
      !name.ends_with(suffix))
    return -1;
  const std::string_view middle =
      std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const auto isNumber = [](std::string_view text) {
    return !text.empty() && text.size() <= 12 && text.find_first_not_of("0123456789") == text.npos;
  };
  const std::size_t dot = middle.find('.');
  if (dot == middle.npos || !isNumber(middle.substr(0, dot)) || !isNumber(middle.substr(dot + 1)))
    return -1;
  return std::stoll(std::string(middle.substr(0, dot)));
}

bool ProcessGone(long long pid) {
  if (pid == ProcessId()) return true;  // this process leaves none behind
#ifdef _WIN32
  return true;
#else
  return pid <= 0 || pid > INT_MAX || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
#endif
}

// A save that was cut short (a crash, a power cut) leaves its temporary file;
// the next save removes it, unless the process that made it still runs.
void RemoveLeftoverTemporaries(const std::filesystem::path& target) {
  const std::filesystem::path dir =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const std::string targetName = target.filename().string();
  std::error_code error;
  for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end;
       it.increment(error)) {
    const long long owner = TemporaryOwner(it->path().filename().string(), targetName);
    std::error_code ignored;
    if (owner >= 0 && ProcessGone(owner)) std::filesystem::remove(it->path(), ignored);
  }
}

#ifndef _WIN32

bool WriteRecord(int fd, const SETTINGS& settings) {
  const auto* data = reinterpret_cast<const unsigned char*>(&settings);
  std::size_t left = sizeof settings;
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

bool PositionedWrite(int fd, const unsigned char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t written = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// The last resort when no file can be made beside the target (a directory
// without write permission): the record overwrites the file where it is.
// Room for the whole record is taken first; a write that still fails puts
// the old bytes back, so the file never holds a new head on an old tail.
bool WriteInPlace(int fd, const SETTINGS& settings) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const auto oldSize = static_cast<std::size_t>(st.st_size);
  std::vector<unsigned char> old(std::min(oldSize, sizeof settings));
  for (std::size_t done = 0; done < old.size();) {
    const ssize_t got = ::pread(fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  if (oldSize < sizeof settings) {
    const int result = ::posix_fallocate(fd, 0, static_cast<off_t>(sizeof settings));
    // Some file systems cannot reserve; the write below is then the test.
    if (result != 0 && result != EOPNOTSUPP && result != EINVAL) {
      [[maybe_unused]] const int ignored = ::ftruncate(fd, static_cast<off_t>(oldSize));
      return false;
    }
  }
  if (!PositionedWrite(fd, reinterpret_cast<const unsigned char*>(&settings), sizeof settings)) {
    PositionedWrite(fd, old.data(), old.size());
    [[maybe_unused]] const int ignored = ::ftruncate(fd, static_cast<off_t>(oldSize));
    ::fsync(fd);
    return false;
  }
  return ::ftruncate(fd, static_cast<off_t>(sizeof settings)) == 0 && ::fsync(fd) == 0;
}

// Makes a rename in the directory of target durable.
void SyncDirectoryOf(const std::filesystem::path& target) {
  const std::filesystem::path dir =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes the record to a new file beside target and renames it over target
// once it is complete and on disk; existing: the file it replaces, whose
// permission bits and (where this process may set it) owner it takes over.
// No temporary file is left behind. Sets *noTemporary when none could be made.
bool ReplaceWhole(const std::filesystem::path& target, const struct stat* existing,
                  const SETTINGS& settings, bool* noTemporary) {
  const std::filesystem::path temp = TemporaryPathBeside(target);
  int fd;
  do {
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *noTemporary = true;
    return false;
  }
  bool ok = WriteRecord(fd, settings);
  if (ok && existing != nullptr) {
    if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd, existing->st_uid, existing->st_gid);
    }
    ok = ::fchmod(fd, existing->st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncDirectoryOf(target);
  return true;
}

bool SaveRecord(const std::filesystem::path& target, const SETTINGS& settings) {
  struct stat existing;
  int fd = -1;
  if (::stat(target.c_str(), &existing) == 0) {
    // Only a regular file is replaced, and only one this process may write:
    // a read-only configuration stays as it is.
    if (!S_ISREG(existing.st_mode)) return false;
    // Readable too where it may be, so that a save in place can put the old
    // bytes back.
    for (const int access : {O_RDWR, O_WRONLY}) {
      do {
        fd = ::open(target.c_str(), access | O_CLOEXEC | O_NOCTTY);
      } while (fd < 0 && errno == EINTR);
      if (fd >= 0 || errno != EACCES) break;
    }
    if (fd < 0) return false;
  }
  RemoveLeftoverTemporaries(target);
  bool noTemporary = false;
  bool ok = ReplaceWhole(target, fd >= 0 ? &existing : nullptr, settings, &noTemporary);
  if (!ok && noTemporary && fd >= 0) ok = WriteInPlace(fd, settings);
  if (fd >= 0) ::close(fd);
  return ok;
}

#else

bool WriteWholeFile(const std::filesystem::path& path, const SETTINGS& settings, const char* mode) {
  std::FILE* file = std::fopen(path.string().c_str(), mode);
  if (file == nullptr) return false;
  bool ok = std::fwrite(&settings, 1, sizeof settings, file) == sizeof settings;
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

bool SaveRecord(const std::filesystem::path& target, const SETTINGS& settings) {
  std::error_code error;
  const bool exists = std::filesystem::exists(target, error);
  if (exists) {
    // A read-only configuration stays as it is.
    std::FILE* probe = std::fopen(target.string().c_str(), "r+b");
    if (probe == nullptr) return false;
    std::fclose(probe);
  }
  RemoveLeftoverTemporaries(target);
  const std::filesystem::path temp = TemporaryPathBeside(target);
  if (!WriteWholeFile(temp, settings, "wb")) {
    std::filesystem::remove(temp, error);
    // No file can be made beside it: overwrite it where it is.
    if (!exists || !WriteWholeFile(target, settings, "r+b")) return false;
    std::filesystem::resize_file(target, sizeof settings, error);
    return !error;
  }
  std::filesystem::rename(temp, target, error);
  if (error) std::filesystem::remove(temp, error);
  return !error;
}

#endif

}  // namespace

std::string ConfigFilePath(const std::string& startDir) {
  if (startDir.empty()) return kConfigFileName;
  return (std::filesystem::path(startDir) / kConfigFileName).string();
}

bool LoadConfig(SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes) {
  // Addressed inside the start directory rather than through the current
  // directory, which nothing else then has to keep pointing there.
  const std::string path = ConfigFilePath(startDir);
  // Only a regular file holds a record: a directory opens but reads nothing,
  // a FIFO would block the start. Either counts as unreadable.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  const bool unreadable =
      !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
  std::FILE* file = unreadable ? nullptr : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    boxes.Show(kLoadFailedText, kLoadFailedCaption, MessageIcon::kWarning);
    return false;
  }
  // Read into a scratch copy: a read that fails takes nothing, so the record
  // keeps its defaults rather than a part of the file.
  unsigned char buffer[sizeof(SETTINGS)];
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    boxes.Show(kLoadFailedText, kLoadFailedCaption, MessageIcon::kWarning);
    return false;
  }
  std::memcpy(&settings, buffer, got);
  return true;
}

bool SaveConfig(const SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes) {
  const std::filesystem::path target = ResolveLinks(ConfigFilePath(startDir));
  if (!target.empty() && SaveRecord(target, settings)) return true;
  boxes.Show(kSaveFailedText, kSaveFailedCaption, MessageIcon::kWarning);
  return false;
}

}  // namespace tarnwick
