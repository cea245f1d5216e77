// Rates without a Bxxx constant (14400, 56000, 128000, 256000) need the
// Linux termios2 call. Its header clashes with <termios.h>, so it lives in a
// source of its own behind this plain function.
#pragma once

#include <cstdint>

namespace tarnwick {

// Sets input and output speed of the open terminal fd to rate, leaving every
// other setting as it is. Returns 0 or the error code (EINVAL where the
// platform has no such call).
int SetArbitraryBaudRate(int fd, std::uint32_t rate);

}  // namespace tarnwick
