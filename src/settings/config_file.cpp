#include "settings/config_file.h"

#include <atomic>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

constexpr const char* kLoadFailedText = "Configuration file not found !";
constexpr const char* kLoadFailedCaption = "Tarnwick initialization";
constexpr const char* kSaveFailedText = "Can not save onfiguration !";
constexpr const char* kSaveFailedCaption = "Quelvane";

// Writes the whole record and makes it durable before the caller renames it.
bool WriteWholeFile(const std::filesystem::path& path, const SETTINGS& settings) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(&settings, 1, sizeof settings, file) == sizeof settings;
  ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
  ok = ::fsync(::fileno(file)) == 0 && ok;
#endif
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

std::filesystem::path TemporaryPathBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
#ifndef _WIN32
  const long pid = static_cast<long>(::getpid());
#else
  const long pid = 0;
#endif
  std::filesystem::path temp = target;
  temp += "." + std::to_string(pid) + "." + std::to_string(counter++) + ".tmp";
  return temp;
}

}  // namespace

std::string ConfigFilePath(const std::string& startDir) {
  if (startDir.empty()) return kConfigFileName;
  return (std::filesystem::path(startDir) / kConfigFileName).string();
}

bool LoadConfig(SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes) {
  // Addressed inside the start directory rather than through the current
  // directory, which nothing else then has to keep pointing there.
  const std::string path = ConfigFilePath(startDir);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    boxes.Show(kLoadFailedText, kLoadFailedCaption, MessageIcon::kWarning);
    return false;
  }
  // Read into a scratch copy so a failing read can never leave half a byte
  // sequence of garbage: whatever came in is taken, the rest keeps its value.
  unsigned char buffer[sizeof(SETTINGS)];
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  std::memcpy(&settings, buffer, got);
  return true;
}

bool SaveConfig(const SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes) {
  const std::filesystem::path target = ConfigFilePath(startDir);
  const std::filesystem::path temp = TemporaryPathBeside(target);
  std::error_code error;
  if (!WriteWholeFile(temp, settings)) {
    std::filesystem::remove(temp, error);
    boxes.Show(kSaveFailedText, kSaveFailedCaption, MessageIcon::kWarning);
    return false;
  }
  std::filesystem::rename(temp, target, error);
  if (error) {
    std::filesystem::remove(temp, error);
    boxes.Show(kSaveFailedText, kSaveFailedCaption, MessageIcon::kWarning);
    return false;
  }
  return true;
}

}  // namespace tarnwick
