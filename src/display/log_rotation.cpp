#include "display/log_rotation.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

#include <sys/stat.h>
#include <sys/types.h>

namespace tarnwick {
namespace {

// The local midnight after the day that holds t.
std::time_t DayEndOf(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  if (::localtime_s(&local, &t) != 0) return t + 86400;
#else
  if (::localtime_r(&t, &local) == nullptr) return t + 86400;
#endif
  local.tm_hour = 0;
  local.tm_min = 0;
  local.tm_sec = 0;
  local.tm_mday += 1;
  local.tm_isdst = -1;  // the clock change of that night, if any, as the zone has it
  const std::time_t end = std::mktime(&local);
  return end > t ? end : t + 86400;
}

}  // namespace

std::optional<std::int64_t> ParseByteCount(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  int shift = 0;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k':
      case 'K':
        shift = 10;
        break;
      case 'm':
      case 'M':
        shift = 20;
        break;
      case 'g':
      case 'G':
        shift = 30;
        break;
      default:
        break;
    }
    if (shift != 0) text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 18) return std::nullopt;
  std::int64_t count = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    count = count * 10 + (c - '0');
  }
  if (count == 0 || count > (std::numeric_limits<std::int64_t>::max() >> shift)) {
    return std::nullopt;
  }
  return count << shift;
}

void LogRotation::SetPolicy(const RotationPolicy& policy) { m_policy = policy; }

void LogRotation::StartPart(std::time_t dayOf) {
  m_nFileBytes = 0;
  m_dayEnd = DayEndOf(dayOf);
}

void LogRotation::Opened(int fd) {
  const std::time_t now = std::time(nullptr);
#ifdef _WIN32
  struct _stat64 st;
  const bool known = ::_fstat64(fd, &st) == 0;
  m_bRegularFile = known && (st.st_mode & _S_IFREG) != 0;
#else
  struct stat st;
  const bool known = ::fstat(fd, &st) == 0;
  m_bRegularFile = known && S_ISREG(st.st_mode);
#endif
  if (!m_bRegularFile) return;
  if (m_bRotateFailed) {
    // The file that could not be renamed away is the new part.
    m_bRotateFailed = false;
    StartPart(now);
    return;
  }
  m_nFileBytes = static_cast<std::int64_t>(st.st_size);
  // A file left by an earlier run began on the day it was last written.
  m_dayEnd = DayEndOf(m_nFileBytes > 0 ? static_cast<std::time_t>(st.st_mtime) : now);
}

std::size_t LogRotation::Room(std::size_t length, std::time_t now) {
  if (!Active()) return length;
  if (m_policy.bDaily && now >= m_dayEnd) {
    // An empty file simply belongs to the new day.
    if (m_nFileBytes > 0) return 0;
    m_dayEnd = DayEndOf(now);
  }
  if (m_policy.nMaxBytes > 0) {
    if (m_nFileBytes >= m_policy.nMaxBytes) return 0;
    const auto left = static_cast<std::uint64_t>(m_policy.nMaxBytes - m_nFileBytes);
    if (left < length) return static_cast<std::size_t>(left);
  }
  return length;
}

std::uint64_t LogRotation::NextPartNumber(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  const std::string prefix = file.filename().string() + ".";
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  std::uint64_t highest = 0;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::uint64_t number = 0;
    bool digits = name.size() - prefix.size() <= 18;
    for (std::size_t i = prefix.size(); digits && i < name.size(); ++i) {
      digits = name[i] >= '0' && name[i] <= '9';
      number = number * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    if (digits && number > highest) highest = number;
  }
  return highest + 1;
}

bool LogRotation::Rotate(const std::string& path, std::time_t now) {
  if (path != m_strNumberedPath) {
    m_strNumberedPath = path;
    m_nNextNumber = NextPartNumber(path);
  }
  // Never over a part that is there already: one that appeared meanwhile
  // moves the number on.
  std::error_code error;
  std::string target = path + "." + std::to_string(m_nNextNumber);
  while (std::filesystem::exists(target, error)) {
    target = path + "." + std::to_string(++m_nNextNumber);
  }
  if (std::rename(path.c_str(), target.c_str()) != 0) {
    m_bRotateFailed = true;
    StartPart(now);
    return false;
  }
  ++m_nNextNumber;
  StartPart(now);
  return true;
}

}  // namespace tarnwick
