// Where a COM port lives on this machine: "COMn" (or "\\.\COMn") resolves to
// the device path named by TARNWICK_COMn, else to the usual Linux device of
// that number.
#pragma once

#include <string>

namespace tarnwick {

// The COM number of "COMn" or "\\.\COMn" (n from 1, no leading zero), or 0
// when the name has neither form.
int ComNumberOf(const std::string& portName);

// The device path for COM number n: TARNWICK_COMn when set and not empty,
// else COM1-32 /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96
// /dev/ttyACM0-31, COM97-99 /dev/ttyAMA0-2. Empty when there is none.
std::string ResolveComNumber(int comNumber);

// The device path for a port name; empty when the name is not a COM name or
// has no device.
std::string ResolvePortPath(const std::string& portName);

}  // namespace tarnwick
