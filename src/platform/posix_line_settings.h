// The DCB as termios: what the POSIX backend gives the device for a line
// configuration, kept apart so it can be checked without a device.
#pragma once

#include <termios.h>

#include <cstdint>

#include "port/dcb.h"

namespace tarnwick {

// The Bxxx constant of a rate; false when there is none.
bool SpeedConstantOf(std::uint32_t rate, speed_t* speed);

// Puts the line configuration of dcb into tio (raw mode, CLOCAL | CREAD, data
// bits, parity, stop bits, CTS flow, speed). Returns 0, or EINVAL for what a
// UART cannot do: 1.5 stop bits with 6-8 data bits, 2 stop bits with 5, codes
// outside their ranges, rate 0. *needsArbitraryRate is set when the rate has no
// Bxxx constant and must be set with SetArbitraryBaudRate after tcsetattr.
int ApplyDcbToTermios(const DCB& dcb, struct termios& tio, bool* needsArbitraryRate);

}  // namespace tarnwick
