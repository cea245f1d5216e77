// What the user's profile keeps per COM number beside the settings record:
// "Ports/COMn", the device it opens (a path or a network form), and
// "Ports/COMnBaud", a rate typed outside the baud list. Loaded into the
// core's entries (platform/com_names.h) at start-up and written back by the
// Port Settings dialog; TARNWICK_COMn still overrides a device for a run.
#pragma once

#include <QString>
#include <cstdint>

namespace tarnwick {

// Reads every COM number's entries into the core's.
void LoadPortProfile();

// Stores one device (empty: the entry goes) in the profile and the core.
void SavePortDevice(int comNumber, const QString& device);
// Stores one typed rate (0: the entry goes) in the profile and the core.
void SavePortBaud(int comNumber, std::uint32_t rate);

}  // namespace tarnwick
