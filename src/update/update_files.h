// The update's files on the real file system, and the facts about the running
// process that the swap script needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_interfaces.h"

namespace tarnwick {

class PlatformUpdateFiles : public UpdateFiles {
 public:
  bool DirectoryWritable(const std::string& dir) override;
  PlatformUpdateFiles() = default;
  ~PlatformUpdateFiles() override;
  PlatformUpdateFiles(const PlatformUpdateFiles&) = delete;
  PlatformUpdateFiles& operator=(const PlatformUpdateFiles&) = delete;

  bool BeginExecutable(const std::string& dir) override;
  // Writes in pieces of at most 64 KiB, so a caller that checks for a stop
  // between calls is never held long by one call.
  bool AppendExecutable(std::string_view data) override;
  bool FinishExecutable(const std::string& path, const std::string& modelPath) override;
  void DiscardExecutable() override;
  bool WriteScript(const std::string& path, std::string_view text) override;
  // POSIX: /bin/sh runs it in a session of its own with /dev/null for its
  // standard streams. Windows: cmd runs it without a window.
  bool StartScript(const std::string& dir, const std::string& name) override;
  void Remove(const std::string& path) override;

 private:
  std::string m_strTempPath;  // the unfinished executable; empty: none
#ifdef _WIN32
  void* m_hTemp = nullptr;
#else
  int m_nTempFd = -1;
#endif
};

std::int64_t CurrentProcessId();

}  // namespace tarnwick
