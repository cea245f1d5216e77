// Where a COM port lives on this machine: "COMn" (or "\\.\COMn") resolves to
// the device named by TARNWICK_COMn, else to the one the user's profile keeps
// for it, else to the usual Linux device of that number. A device is a path
// or a network form (rfc2217://HOST:PORT, tcp://HOST:PORT).
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// The COM number of "COMn" or "\\.\COMn" (n from 1, no leading zero), or 0
// when the name has neither form.
int ComNumberOf(const std::string& portName);

// The device for COM number n: the run's device (the command line's
// --device) or TARNWICK_COMn when set and not empty, else the profile's
// device, else COM1-32 /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96
// /dev/ttyACM0-31, COM97-99 /dev/ttyAMA0-2. Empty when there is none.
std::string ResolveComNumber(int comNumber);

// The device path for a port name; empty when the name is not a COM name or
// has no device.
std::string ResolvePortPath(const std::string& portName);

// The device fixed for this run, which no dialog changes: the run's device,
// else TARNWICK_COMn; empty when neither is set.
std::string EnvironmentComDevice(int comNumber);

// The command line's device for COM number n, for this run only and never
// saved; it stands where TARNWICK_COMn would. An empty device clears it.
void SetRunComDevice(int comNumber, const std::string& device);

// The usual device of COM number n, neither variable nor profile considered.
std::string DefaultComDevice(int comNumber);

// The profile's entries, handed over by whoever reads the profile; any
// thread. An empty device, or a rate of 0, clears the entry.
void SetProfileComDevice(int comNumber, const std::string& device);
std::string ProfileComDevice(int comNumber);
// A rate outside the baud list kept for a COM number: while set it is the
// line's rate, whatever the record's index says.
void SetProfileComBaud(int comNumber, std::uint32_t rate);
std::uint32_t ProfileComBaud(int comNumber);

}  // namespace tarnwick
