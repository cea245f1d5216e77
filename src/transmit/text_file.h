// Whole small text files read and replaced safely: the send history and the
// macro files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick {

struct FileText {
  bool exists = false;
  bool truncated = false;  // longer than the limit: text holds its start
  std::string text;
  std::string error;  // why an existing file could not be read; empty when it was
};

FileText ReadTextFile(const std::filesystem::path& path, std::size_t limit);

// Writes text to a new file beside path and renames it over path once it is
// complete and on disk, so a failure (a full disk) leaves the old file as it
// was. Empty on success, else the reason.
std::string ReplaceTextFile(const std::filesystem::path& path, std::string_view text);

// Copies path to a free name beside it (path + suffix, then + suffix + "-2",
// "-3" ...) without replacing anything. The copy's path, or empty with the
// reason in *error.
std::filesystem::path CopyAside(const std::filesystem::path& path, std::string_view suffix,
                                std::string* error);

}  // namespace tarnwick
