// Whether a device that open() refused is one the user could open by joining
// the group that owns it.
#pragma once

#include <string>

namespace tarnwick {

// The advice of GroupAccessAdvice for devicePath when its group may read and
// write it, this process is not in that group and the user does not own the
// device; empty otherwise (another cause, or names the system cannot tell).
std::string DeviceGroupAdvice(const std::string& devicePath);

}  // namespace tarnwick
