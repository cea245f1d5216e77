// The "Save to file: " check box of both settings dialogs: a click turns
// logging off, or asks for a file and turns it on with that path. The flag and
// the path are written into the record at once, whatever the dialog's end.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/message_box.h"
#include "settings/settings.h"

namespace tarnwick {

inline constexpr const char* kSaveToFilePrefix = "Save to file: ";

// The box's caption: the prefix, then the path up to its NUL (bytes as stored).
std::string SaveToFileCaption(const char (&path)[kPathBufferSize]);

enum class SaveToFileOutcome {
  kLoggingOff,  // the flag was set: now 0, path kept
  kLoggingOn,   // a file was chosen: flag 1, path stored
  kCancelled,   // the chooser was cancelled: nothing changed
  kRefused,     // the chosen path does not fit the record: box shown, nothing changed
};

// Asks for a file: given the current path, returns the chosen one (the file
// system's bytes), or nothing when cancelled.
using LogFileChooser = std::function<std::optional<std::string>(const std::string& current)>;

// The click handler. After it the box's check mark is to show flag != 0.
SaveToFileOutcome ToggleSaveToFile(std::int32_t& flag, char (&path)[kPathBufferSize],
                                   const LogFileChooser& choose, MessageBoxes& boxes);

}  // namespace tarnwick
