// The swap script that replaces the running executable with the downloaded
// "Upd" copy once the program has exited, then starts the new one in the
// directory the program was started from and deletes itself. Every name is
// quoted, so blanks, quotes, semicolons and dollar signs in a directory or
// file name are only characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// "updater.bat" on Windows, "updater.sh" elsewhere.
std::string_view UpdaterScriptName();

// A word for sh: single quotes around it, each ' written as '\''.
std::string ShellQuote(std::string_view word);
// A word for cmd: double quotes around it, each % doubled (cmd expands them
// even inside quotes). Windows names cannot hold a double quote.
std::string BatchQuote(std::string_view word);

// True when cmd reads word in a batch file as it was written: ASCII only.
// cmd reads batch files in the OEM code page, while names reach the program
// in the ANSI one; beyond ASCII the two differ, and the swap would name files
// that do not exist.
bool BatchCanHold(std::string_view word);

// Six lines, CR LF between them and none after the last. Runs in dir (where
// exeName and "Upd" + exeName live): retries the copy until the old program
// has let go of its file, deletes the copy, starts the new program in
// startDir and deletes itself.
std::string UpdaterBatchText(std::string_view exeName, std::string_view startDir,
                             std::string_view dir);

// The same shape for sh: waits until process pid has ended, renames
// "Upd" + exeName over exeName in dir (one rename; a failed one drops the
// copy), starts exeName in startDir (in dir when startDir is gone) and
// deletes itself. dir ends with '/'.
std::string UpdaterShellText(std::string_view exeName, std::string_view startDir,
                             std::string_view dir, std::int64_t pid);

}  // namespace tarnwick
