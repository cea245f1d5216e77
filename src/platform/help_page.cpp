#include "platform/help_page.h"

#include <system_error>

namespace tarnwick {

std::optional<std::filesystem::path> FindHelpPage(
    const std::filesystem::path& startDir, const std::vector<std::filesystem::path>& otherDirs) {
  std::vector<std::filesystem::path> dirs{startDir};
  dirs.insert(dirs.end(), otherDirs.begin(), otherDirs.end());
  for (const std::filesystem::path& dir : dirs) {
    if (dir.empty()) continue;
    const std::filesystem::path page = dir / "help.html";
    std::error_code error;
    if (std::filesystem::is_regular_file(page, error)) return page;
  }
  return std::nullopt;
}

}  // namespace tarnwick
