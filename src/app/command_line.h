// The program's command line, read with QCommandLineParser before any
// application object exists, so that --help and --version need no display.
// Qt's own options (-platform, -style, -display, ...) are let through to the
// application object untouched.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/display_options.h"

namespace tarnwick {

// A week: the longest pause between two status lines.
inline constexpr int kMaxStatusEverySeconds = 7 * 24 * 3600;

struct CommandLine {
  // Run with no window: a plain core application that captures to the logs.
  bool bHeadless = false;
  // The tap: offer the port to another program at this path (empty: none).
  std::string tapPath;
  // The start directory to change to before anything else (empty: stay).
  std::string configDir;
  // Start a new log file past this many bytes; unset: as the profile says.
  std::optional<std::int64_t> rotateBytes;
  // Start a new log file at local midnight (false: as the profile says).
  bool bRotateDaily = false;
  // Headless: print the counters every this many seconds (0: only on SIGUSR1).
  int nStatusEverySeconds = 0;

  // The rotation asked for here, over what the profile holds.
  void ApplyTo(DisplayOptions& options) const;

  friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

struct ParsedCommandLine {
  enum class Action { kRun, kExit };
  Action action = Action::kRun;
  // kExit: the status to end with, and what to print first (to stdout for
  // status 0, to stderr otherwise).
  int nExitStatus = 0;
  std::string message;
  CommandLine options;
};

// arguments: the whole argv, the program's name first.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The whole argv as Qt reads it, before any application object exists.
QStringList ArgumentsOf(int argc, char** argv);

// --config-dir: makes DIR the current directory. False, with the reason in
// error, when it cannot be entered.
bool EnterConfigDir(const CommandLine& commandLine, std::string* error);

}  // namespace tarnwick
