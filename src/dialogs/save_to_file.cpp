#include "dialogs/save_to_file.h"

#include <cstring>

namespace tarnwick {
namespace {

constexpr const char* kPathTooLongCaption = "Save to file";

std::string StoredPath(const char (&path)[kPathBufferSize]) {
  // A hand-edited record may hold a path without its NUL.
  return {path, ::strnlen(path, kPathBufferSize)};
}

}  // namespace

std::string SaveToFileCaption(const char (&path)[kPathBufferSize]) {
  return kSaveToFilePrefix + StoredPath(path);
}

SaveToFileOutcome ToggleSaveToFile(std::int32_t& flag, char (&path)[kPathBufferSize],
                                   const LogFileChooser& choose, MessageBoxes& boxes) {
  if (flag != 0) {
    flag = 0;
    return SaveToFileOutcome::kLoggingOff;
  }
  const std::optional<std::string> chosen = choose(StoredPath(path));
  if (!chosen) return SaveToFileOutcome::kCancelled;
  // The record keeps at most 1023 bytes and the NUL; a cut path would log
  // into a different file, and a NUL inside would cut it the same way.
  if (chosen->size() >= kPathBufferSize || chosen->find('\0') != std::string::npos) {
    const std::string text = "The path of the log file is longer than " +
                             std::to_string(kPathBufferSize - 1) +
                             " bytes; choose a shorter one:\n" + chosen->substr(0, 200) + "...";
    boxes.Show(text, kPathTooLongCaption, MessageIcon::kError);
    return SaveToFileOutcome::kRefused;
  }
  // The bytes after the new NUL keep what they held, as the record always has.
  std::memcpy(path, chosen->c_str(), chosen->size() + 1);
  flag = 1;
  return SaveToFileOutcome::kLoggingOn;
}

}  // namespace tarnwick
