#include "settings/config_file.h"

#include <atomic>
#include <cstdio>
#include <cstring>
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
  // Only a regular file holds a record: a directory opens but reads nothing,
  // a FIFO would block the start. Either counts as unreadable.
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  const bool unreadable =
      !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
  std::FILE* file = unreadable ? nullptr : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    boxes.Show(kLoadFailedText, kLoadFailedCaption, MessageIcon::kWarning);
    return false;
  }
  // Read into a scratch copy: a read that fails takes nothing, so the record
  // keeps its defaults rather than a part of the file.
  unsigned char buffer[sizeof(SETTINGS)];
  const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    boxes.Show(kLoadFailedText, kLoadFailedCaption, MessageIcon::kWarning);
    return false;
  }
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
