// The advice for a device whose group does not include the user: the group,
// and a command that adds this user to it as a shell reads it back.
#include "platform/device_permission.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(DevicePermission, AdviceNamesTheGroupAndTheCommandThatJoinsIt) {
  struct Row {
    const char* device;
    const char* group;
    const char* user;
    bool listed;
    const char* advice;
  };
  const Row rows[] = {
      {"/dev/ttyUSB0", "dialout", "alice", false,
       "/dev/ttyUSB0 belongs to the group dialout, which alice is not in. To join it: "
       "sudo usermod -aG dialout alice, then log out and log in again."},
      // Names a shell would split or expand are quoted in the command only.
      {"/dev/ttyACM1", "uucp", "CORP\\bob smith", false,
       "/dev/ttyACM1 belongs to the group uucp, which CORP\\bob smith is not in. To join it: "
       "sudo usermod -aG uucp 'CORP\\bob smith', then log out and log in again."},
      {"/dev/ttyS0", "tty$x", "o'neil", false,
       "/dev/ttyS0 belongs to the group tty$x, which o'neil is not in. To join it: "
       "sudo usermod -aG 'tty$x' 'o'\\''neil', then log out and log in again."},
      // Added already, but the session's groups were set at login.
      {"/dev/ttyUSB0", "dialout", "alice", true,
       "/dev/ttyUSB0 belongs to the group dialout. alice was added to it after logging in: "
       "log out and log in again."},
  };
  for (const Row& row : rows)
    EXPECT_EQ(GroupAccessAdvice(row.device, row.group, row.user, row.listed), row.advice);
}

}  // namespace
}  // namespace tarnwick
