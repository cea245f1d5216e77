#include "platform/posix_arbitrary_baud.h"

#include <cerrno>

#ifdef TARNWICK_HAVE_TERMIOS2
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace tarnwick {

#ifdef TARNWICK_HAVE_TERMIOS2

int SetArbitraryBaudRate(int fd, std::uint32_t rate) {
  struct termios2 tio;
  if (::ioctl(fd, TCGETS2, &tio) != 0) return errno;
  // BOTHER in both the output and the input speed field: the rates are taken
  // from c_ospeed and c_ispeed as numbers.
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ospeed = rate;
  tio.c_ispeed = rate;
  if (::ioctl(fd, TCSETS2, &tio) != 0) return errno;
  return 0;
}

#else

int SetArbitraryBaudRate(int, std::uint32_t) { return EINVAL; }

#endif

}  // namespace tarnwick
