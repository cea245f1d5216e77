#include "platform/com_names.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>

namespace tarnwick {

namespace {

struct DeviceRange {
  int firstCom;
  int count;
  const char* prefix;
};

constexpr DeviceRange kDeviceRanges[] = {
    {1, 32, "/dev/ttyS"},
    {33, 32, "/dev/ttyUSB"},
    {65, 32, "/dev/ttyACM"},
    {97, 3, "/dev/ttyAMA"},
};

constexpr int kMaxComNumber = 255;  // Windows' own limit for COM names

struct ProfileEntries {
  std::mutex mutex;
  std::map<int, std::string> devices;
  std::map<int, std::uint32_t> rates;
  std::map<int, std::string> runDevices;
};

ProfileEntries& Profile() {
  static ProfileEntries entries;
  return entries;
}

}  // namespace

int ComNumberOf(const std::string& portName) {
  std::string_view name = portName;
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (name.size() < 4) return 0;
  // Windows device names ignore case.
  for (int i = 0; i < 3; ++i) {
    if ((name[i] | 0x20) != "com"[i]) return 0;
  }
  name.remove_prefix(3);
  if (name.empty() || name.size() > 3 || name[0] == '0') return 0;
  int number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number <= kMaxComNumber ? number : 0;
}

void SetRunComDevice(int comNumber, const std::string& device) {
  ProfileEntries& profile = Profile();
  std::lock_guard lock(profile.mutex);
  if (device.empty()) {
    profile.runDevices.erase(comNumber);
  } else {
    profile.runDevices[comNumber] = device;
  }
}

std::string EnvironmentComDevice(int comNumber) {
  if (comNumber < 1) return {};
  {
    ProfileEntries& profile = Profile();
    std::lock_guard lock(profile.mutex);
    const auto found = profile.runDevices.find(comNumber);
    if (found != profile.runDevices.end()) return found->second;
  }
  const std::string variable = "TARNWICK_COM" + std::to_string(comNumber);
  // An empty value counts as unset: it names no device.
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // getenv: the value is copied at once
#endif
  if (const char* path = std::getenv(variable.c_str()); path != nullptr && path[0] != '\0') {
    return path;
  }
  return {};
}

std::string ResolveComNumber(int comNumber) {
  if (comNumber < 1) return {};
  if (std::string path = EnvironmentComDevice(comNumber); !path.empty()) return path;
  if (std::string device = ProfileComDevice(comNumber); !device.empty()) return device;
  return DefaultComDevice(comNumber);
}

std::string DefaultComDevice(int comNumber) {
  for (const DeviceRange& range : kDeviceRanges) {
    if (comNumber >= range.firstCom && comNumber < range.firstCom + range.count) {
      return range.prefix + std::to_string(comNumber - range.firstCom);
    }
  }
  return {};
}

void SetProfileComDevice(int comNumber, const std::string& device) {
  ProfileEntries& profile = Profile();
  std::lock_guard lock(profile.mutex);
  if (device.empty()) {
    profile.devices.erase(comNumber);
  } else {
    profile.devices[comNumber] = device;
  }
}

std::string ProfileComDevice(int comNumber) {
  ProfileEntries& profile = Profile();
  std::lock_guard lock(profile.mutex);
  const auto found = profile.devices.find(comNumber);
  return found != profile.devices.end() ? found->second : std::string();
}

void SetProfileComBaud(int comNumber, std::uint32_t rate) {
  ProfileEntries& profile = Profile();
  std::lock_guard lock(profile.mutex);
  if (rate == 0) {
    profile.rates.erase(comNumber);
  } else {
    profile.rates[comNumber] = rate;
  }
}

std::uint32_t ProfileComBaud(int comNumber) {
  ProfileEntries& profile = Profile();
  std::lock_guard lock(profile.mutex);
  const auto found = profile.rates.find(comNumber);
  return found != profile.rates.end() ? found->second : 0;
}

std::string ResolvePortPath(const std::string& portName) {
  return ResolveComNumber(ComNumberOf(portName));
}

}  // namespace tarnwick
