#include "platform/posix_device_group.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/device_permission.h"

namespace tarnwick {
namespace {

bool ProcessInGroup(gid_t group) {
  if (getegid() == group) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

// Entries of the user and group databases can be long (many members).
std::vector<char> EntryBuffer() {
  const long size = sysconf(_SC_GETGR_R_SIZE_MAX);
  return std::vector<char>(size > 0 ? static_cast<std::size_t>(size) * 16 : 1 << 16);
}

}  // namespace

std::string DeviceGroupAdvice(const std::string& devicePath) {
  struct stat info {};
  if (devicePath.empty() || ::stat(devicePath.c_str(), &info) != 0) return {};
  if (info.st_uid == geteuid()) return {};  // the owner's bits decide, not the group's
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
  if (ProcessInGroup(info.st_gid)) return {};

  std::vector<char> userBuffer = EntryBuffer();
  struct passwd user {};
  struct passwd* userFound = nullptr;
  if (getpwuid_r(geteuid(), &user, userBuffer.data(), userBuffer.size(), &userFound) != 0 ||
      userFound == nullptr)
    return {};
  std::vector<char> groupBuffer = EntryBuffer();
  struct group group {};
  struct group* groupFound = nullptr;
  if (getgrgid_r(info.st_gid, &group, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 ||
      groupFound == nullptr)
    return {};

  bool listed = user.pw_gid == info.st_gid;
  for (char** member = group.gr_mem; member != nullptr && *member != nullptr; ++member)
    listed = listed || std::strcmp(*member, user.pw_name) == 0;
  return GroupAccessAdvice(devicePath, group.gr_name, user.pw_name, listed);
}

}  // namespace tarnwick
