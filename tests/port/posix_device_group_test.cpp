// Which refused devices get the group advice, on real files. Giving a file to
// another owner and group needs root; elsewhere the test is skipped.
#include "platform/posix_device_group.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/device_permission.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

TEST(PosixDeviceGroup, AdviceOnlyWhereJoiningTheGroupWouldOpenTheDevice) {
  const struct group* other = getgrnam("dialout");
  if (geteuid() != 0 || other == nullptr) GTEST_SKIP() << "needs root and a dialout group";
  const gid_t otherGroup = other->gr_gid;
  ASSERT_NE(otherGroup, getegid());
  struct Row {
    gid_t group;
    mode_t mode;
    bool advised;
  };
  const Row rows[] = {
      {otherGroup, 0660, true},
      {otherGroup, 0600, false},  // the group may not use it either
      {getegid(), 0660, false},   // already in the group: some other cause
  };
  testing::TempDir dir;
  const std::string device = dir.File("ttyFAKE0");
  testing::WriteBytes(device, {});
  for (const Row& row : rows) {
    ASSERT_EQ(::chown(device.c_str(), 65534, row.group), 0);
    ASSERT_EQ(::chmod(device.c_str(), row.mode), 0);
    EXPECT_EQ(DeviceGroupAdvice(device),
              row.advised ? GroupAccessAdvice(device, "dialout", "root", false) : "")
        << std::oct << row.mode;
  }
}

}  // namespace
}  // namespace tarnwick
