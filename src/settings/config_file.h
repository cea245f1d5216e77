// "Tarnwick.cfg": the settings record written raw, no header, no checksum.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "settings/settings.h"

namespace tarnwick {

inline constexpr const char* kConfigFileName = "Tarnwick.cfg";

// The configuration file's path inside the directory that was current at
// start-up.
std::string ConfigFilePath(const std::string& startDir);

// Reads up to the record's size from the start of the file into the record. A
// shorter file overwrites only the leading bytes; bytes past the record are
// ignored. Returns false, after the warning box, when the file cannot be opened.
bool LoadConfig(SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes);

// Replaces the file with the record. The record goes to a temporary file in the
// same directory that is renamed over the old one only once it is complete, so
// a failed write (a full disk) leaves the previous configuration intact. A
// symbolic link is followed to the file it names and stays a link, where the
// kernel would follow it (in a sticky, world-writable directory only a link of
// this user or of the directory's owner; any other refuses the save); the old
// file's permission bits and owner carry over; a file this process may not
// write is left alone. Where no file can be made beside it (a read-only
// directory) the record overwrites the file in place, or leaves it as it was
// when it cannot be written whole. Temporary files left by
// an earlier save that never finished are removed.
// Returns false, after the warning box, when the file cannot be written.
bool SaveConfig(const SETTINGS& settings, const std::string& startDir, MessageBoxes& boxes);

}  // namespace tarnwick
