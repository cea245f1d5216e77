// The program's command line, read with QCommandLineParser before any
// application object exists, so that --help and --version need no display.
// Qt's own options (-platform, -style, -display, ...) are let through to the
// application object untouched.
//
// Every option of the program's own is one row of the table kOptions in
// command_line.cpp: its name, the name of its value, the values it takes
// (a range, a list of words, or text with its own check) and where the value
// goes. --help and the errors ("--parity takes none, odd, even, mark or
// space, not 'x'", status 2) are made from the rows. An option that sets up
// the run stores into RunSettings (settings/run_settings.h), which RunSetup
// lays over the cfg and the profile for that run only.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/display_options.h"
#include "settings/run_settings.h"

namespace tarnwick {

// A week: the longest pause between two status lines.
inline constexpr int kMaxStatusEverySeconds = 7 * 24 * 3600;
// The most units a line takes by count; 0 is no break by count.
inline constexpr int kMaxColumns = 100'000;

// The two programs that read this command line.
enum class Program {
  kTarnwick,  // the window, or the capture with --headless
  kCapture,   // tarnwick-capture: always the capture, on Qt Core alone
};

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
  // The device, line, format and logs of this run.
  RunSettings run;

  // The rotation and the run's display options asked for here, over what
  // the profile holds.
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
ParsedCommandLine ParseCommandLine(const QStringList& arguments,
                                   Program program = Program::kTarnwick);

// The whole argv as Qt reads it, before any application object exists.
QStringList ArgumentsOf(int argc, char** argv);

// What both programs do first, before any application object: the signals
// a log may raise are ignored (a full file, a pipe whose reader went), the
// command line is read (--help and --version answered), --config-dir
// entered. Returns the options to run with; nothing when the program is to
// end at once with *exitStatus, after what it had to say.
std::optional<CommandLine> StartFromCommandLine(int argc, char** argv, Program program,
                                                int* exitStatus);

// --config-dir: makes DIR the current directory. False, with the reason in
// error, when it cannot be entered.
bool EnterConfigDir(const CommandLine& commandLine, std::string* error,
                    Program program = Program::kTarnwick);

}  // namespace tarnwick
