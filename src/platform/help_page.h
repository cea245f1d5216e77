// Where F1 finds the help page.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace tarnwick {

// "help.html" in startDir, the directory the program started in, where it has
// always been looked for; else in each of otherDirs in turn (the installed
// data directory, the executable's directory). The first regular file found,
// or none.
std::optional<std::filesystem::path> FindHelpPage(
    const std::filesystem::path& startDir, const std::vector<std::filesystem::path>& otherDirs);

}  // namespace tarnwick
