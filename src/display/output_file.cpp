#include "display/output_file.h"

#include "display/standard_output.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#endif

namespace tarnwick {
namespace {

int OpenForAppend(const char* path) {
#ifdef _WIN32
  int fd = -1;
  // Shared for reading and writing: other programs may open the log meanwhile.
  if (_sopen_s(&fd, path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
               _S_IREAD | _S_IWRITE) != 0)
    return -1;
  return fd;
#else
  // O_NONBLOCK: a FIFO without a reader fails here instead of blocking the
  // receive path; it changes nothing for regular files.
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
#endif
}

void CloseFd(int fd) {
#ifdef _WIN32
  _close(fd);
#else
  ::close(fd);
#endif
}

}  // namespace

OutputFile::~OutputFile() { Drop(); }

void OutputFile::SetReporter(LogFailures* reporter, LogKind kind) {
  m_pReporter = reporter;
  m_kind = kind;
}

void OutputFile::Drop() {
  if (m_fd >= 0) CloseFd(m_fd);
  m_fd = -1;
  m_strOpenPath.clear();
}

void OutputFile::Close() {
  Drop();
  Outcome({}, 0);
}

bool OutputFile::Outcome(std::string_view path, int error) {
  m_nLastError = error;
  if (m_pReporter != nullptr) m_pReporter->Report(m_kind, path, error);
  return error == 0;
}

bool OutputFile::StillAtPath() {
#ifdef _WIN32
  return true;  // an open file cannot be renamed or deleted under us there
#else
  if (IsStandardOutputPath(m_strOpenPath)) return true;  // no name to follow
  // Renamed away (mv, logrotate), replaced or deleted: the path no longer
  // names the open file, and writing on would log into a file nobody looks
  // for. A write after a pause always looks; a flood looks every interval.
  const auto now = std::chrono::steady_clock::now();
  if (now - m_lastPathCheck < kPathCheckInterval) return true;
  m_lastPathCheck = now;
  struct stat st;
  return ::stat(m_strOpenPath.c_str(), &st) == 0 &&
         static_cast<std::uint64_t>(st.st_dev) == m_nDevice &&
         static_cast<std::uint64_t>(st.st_ino) == m_nInode;
#endif
}

bool OutputFile::OpenFor(std::string_view path) {
  if (m_fd >= 0 && path == m_strOpenPath && StillAtPath()) return true;
  Drop();
  if (path.empty()) return Outcome(path, ENOENT);
  std::string pathCopy(path);  // NUL-terminated for the platform call
  if (pathCopy.find('\0') != std::string::npos) return Outcome(path, EINVAL);
  const bool standardOutput = IsStandardOutputPath(path);
  const int fd = standardOutput ? OpenStandardOutput() : OpenForAppend(pathCopy.c_str());
  if (fd < 0) return Outcome(path, errno);
#ifndef _WIN32
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    CloseFd(fd);
    return Outcome(path, error);
  }
  m_nDevice = static_cast<std::uint64_t>(st.st_dev);
  m_nInode = static_cast<std::uint64_t>(st.st_ino);
  m_bSocket = S_ISSOCK(st.st_mode);
  m_lastPathCheck = std::chrono::steady_clock::now();
#endif
  m_fd = fd;
  m_strOpenPath = std::move(pathCopy);
  // Standard output is never renamed away: no file of that name is ours.
  m_rotation.Opened(standardOutput ? -1 : fd);
  return true;
}

bool OutputFile::WaitWritable(std::chrono::steady_clock::time_point deadline) {
#ifdef _WIN32
  (void)deadline;
  return false;
#else
  for (;;) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) return false;
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec timeout{static_cast<time_t>(nanoseconds / 1000000000),
                           static_cast<long>(nanoseconds % 1000000000)};
    pollfd entry{m_fd, POLLOUT, 0};
    const int ready = ::ppoll(&entry, 1, &timeout, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    // An error or a reader that went away shows in the next write.
    return ready > 0;
  }
#endif
}

bool OutputFile::WriteAll(const std::uint8_t*& data, std::size_t& length) {
  const auto deadline =
      std::chrono::steady_clock::now() + m_waitPerByte * static_cast<std::int64_t>(length);
  while (length > 0) {
#ifdef _WIN32
    const unsigned chunk = length > 0x40000000u ? 0x40000000u : static_cast<unsigned>(length);
    const int written = _write(m_fd, data, chunk);
#else
    // A socket (standard output to a journal) may be shared with stderr:
    // each send alone does not wait, as the non-blocking FIFO's writes.
    const ssize_t written = m_bSocket ? ::send(m_fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL)
                                      : ::write(m_fd, data, length);
#endif
    if (written < 0) {
      if (errno == EINTR) continue;
      // The file was opened non-blocking: a full FIFO or pipe says so here.
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitWritable(deadline)) continue;
      if (errno == EWOULDBLOCK) errno = EAGAIN;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;  // nothing taken and no reason given: the disk is full
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::Append(const char* path, const std::uint8_t* data, std::size_t length) {
  return Append(std::string_view(path ? path : ""), data, length);
}

bool OutputFile::Append(std::string_view path, const std::uint8_t* data, std::size_t length) {
  if (!OpenFor(path)) return Lose(length);
  // A rotating log: what the full part has room for, then the rest in a new file.
  std::size_t room;
  while (length > 0 && (room = m_rotation.Room(length, std::time(nullptr))) < length) {
    std::size_t left = room;
    if (room > 0 && !WriteAll(data, left)) return Failed(path, left + (length - room));
    m_rotation.Wrote(room);
    length -= room;
    const std::string fullPart = m_strOpenPath;
    Drop();  // closed before the rename, which Windows requires
    m_rotation.Rotate(fullPart, std::time(nullptr));
    if (!OpenFor(path)) return Lose(length);
  }
  const std::size_t given = length;
  if (length == 0 || WriteAll(data, length)) {
    m_rotation.Wrote(given);
    return Outcome(path, 0);
  }
  return Failed(path, length);
}

bool OutputFile::Failed(std::string_view path, std::size_t lost) {
  // A failed write (full disk, file gone bad): drop the rest of this call's
  // data and start afresh with a new open at the next call. A reader too slow
  // for the line keeps its FIFO: the next call goes on where it can.
  const int error = errno;
  if (error != EAGAIN) Drop();
  Lose(lost);
  return Outcome(path, error);
}

bool OutputFile::Lose(std::size_t bytes) {
  if (m_pReporter != nullptr && bytes > 0) m_pReporter->CountLost(m_kind, bytes);
  return false;
}

bool OutputFile::Touch(const char* path) {
  const std::string_view name(path ? path : "");
  return OpenFor(name) && Outcome(name, 0);
}

}  // namespace tarnwick
