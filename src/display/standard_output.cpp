#include "display/standard_output.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace tarnwick {

#ifdef _WIN32

int OpenStandardOutput() { return _dup(1); }

#else

int OpenStandardOutput() {
  struct stat st {};
  if (::fstat(STDOUT_FILENO, &st) != 0) return -1;
  // A socket (a service's journal) cannot be opened again: a copy, which
  // OutputFile writes without blocking (its open file is usually stderr's
  // too, so it stays blocking for stderr).
  if (S_ISREG(st.st_mode) || S_ISSOCK(st.st_mode)) {
    return ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  }
  // O_NOCTTY: a terminal opened here must not become the controlling one.
  const int fd = ::open("/proc/self/fd/1", O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0) return fd;
  // A pipe whose reader has gone cannot be opened again: the broken pipe a
  // write would have met.
  if (errno == ENXIO && S_ISFIFO(st.st_mode)) {
    errno = EPIPE;
    return -1;
  }
  // Without /proc: a copy. A pipe's waits no longer than a FIFO log does.
  const int copy = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (copy >= 0 && S_ISFIFO(st.st_mode)) {
    ::fcntl(copy, F_SETFL, ::fcntl(copy, F_GETFL) | O_NONBLOCK);
  }
  return copy;
}

#endif

}  // namespace tarnwick
