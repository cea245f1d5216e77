// Reads a terminal's line speeds as numbers, independently of the code under
// test. Kept in its own source: <asm/termbits.h> clashes with <termios.h>.
#pragma once

#include <cstdint>

namespace tarnwick::testing {

// For a pseudo-terminal, fd may be the far side: both share one termios.
bool ReadLineSpeeds(int fd, std::uint32_t* inputSpeed, std::uint32_t* outputSpeed);

}  // namespace tarnwick::testing
