#include "display/output_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

OutputFile::~OutputFile() { Close(); }

void OutputFile::Close() {
  if (m_fd >= 0) CloseFd(m_fd);
  m_fd = -1;
  m_strOpenPath.clear();
}

bool OutputFile::StillLinked() const {
#ifdef _WIN32
  return true;  // an open file cannot be deleted under us there
#else
  // Someone deleted the log while we held it: writing on would lose the data
  // in an unlinked file, where a fresh open recreates it as a new log.
  struct stat st;
  return ::fstat(m_fd, &st) == 0 && st.st_nlink > 0;
#endif
}

bool OutputFile::OpenFor(const char* path) { return OpenFor(std::string_view(path ? path : "")); }

bool OutputFile::OpenFor(std::string_view path) {
  if (m_fd >= 0 && path == m_strOpenPath && StillLinked()) return true;
  Close();
  if (path.empty()) return false;
  std::string pathCopy(path);  // NUL-terminated for the platform call
  if (pathCopy.find('\0') != std::string::npos) return false;
  const int fd = OpenForAppend(pathCopy.c_str());
  if (fd < 0) return false;
  m_fd = fd;
  m_strOpenPath = std::move(pathCopy);
  return true;
}

bool OutputFile::WriteAll(const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
#ifdef _WIN32
    const unsigned chunk = length > 0x40000000u ? 0x40000000u : static_cast<unsigned>(length);
    const int written = _write(m_fd, data, chunk);
#else
    const ssize_t written = ::write(m_fd, data, length);
#endif
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::Append(const char* path, const std::uint8_t* data, std::size_t length) {
  return Append(std::string_view(path ? path : ""), data, length);
}

bool OutputFile::Append(std::string_view path, const std::uint8_t* data, std::size_t length) {
  if (!OpenFor(path)) return false;
  if (length == 0) return true;
  if (WriteAll(data, length)) return true;
  // A failed write (full disk, file gone bad): drop this call's data and start
  // afresh with a new open at the next call.
  Close();
  return false;
}

bool OutputFile::Touch(const char* path) { return OpenFor(path); }

}  // namespace tarnwick
