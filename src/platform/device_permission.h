// What to tell a user whom the system refuses a serial device because the
// group that owns it does not include them. Tarnwick changes nothing itself:
// it names the group and the command an administrator runs.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The advice shown after the system's reason, in the header and in a box.
// listedInGroup: the user was already added to the group, but this login
// began before, so only logging in again is needed.
std::string GroupAccessAdvice(std::string_view devicePath, std::string_view group,
                              std::string_view user, bool listedInGroup);

// A name as a shell reads it back: unchanged when it holds only characters
// that need no quoting, otherwise in single quotes.
std::string ShellWord(std::string_view word);

}  // namespace tarnwick
