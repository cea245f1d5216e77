// The state of the keyboard's lock keys, where the windowing system tells it.
#pragma once

#include <optional>

namespace tarnwick {

struct LockKeyState {
  bool bCapsLock = false;
  bool bNumLock = false;
  bool bScrollLock = false;
  friend bool operator==(const LockKeyState&, const LockKeyState&) = default;
};

// The current state, or nothing when the platform does not report it (then
// the status-bar indicators stay dim).
std::optional<LockKeyState> QueryLockKeyState();

}  // namespace tarnwick
