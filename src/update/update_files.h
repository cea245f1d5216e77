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
  bool WriteExecutable(const std::string& path, std::string_view data,
                       const std::string& modelPath) override;
  bool WriteScript(const std::string& path, std::string_view text) override;
  // POSIX: /bin/sh runs it in a session of its own with /dev/null for its
  // standard streams. Windows: cmd runs it without a window.
  bool StartScript(const std::string& dir, const std::string& name) override;
  void Remove(const std::string& path) override;
};

std::int64_t CurrentProcessId();

}  // namespace tarnwick
