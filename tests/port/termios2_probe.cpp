#include "termios2_probe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tarnwick::testing {

bool ReadLineSpeeds(int fd, std::uint32_t* inputSpeed, std::uint32_t* outputSpeed) {
  struct termios2 tio;
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  *inputSpeed = tio.c_ispeed;
  *outputSpeed = tio.c_ospeed;
  return true;
}

}  // namespace tarnwick::testing
