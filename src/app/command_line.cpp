#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "dialogs/port_settings_lists.h"
#include "display/log_rotation.h"
#include "display/standard_output.h"
#include "display/unit_settings.h"
#include "update/build_config.h"

namespace tarnwick {
namespace {

// The options the Qt application objects take for themselves; the window's
// application object reads them from argv, which is left as it was.
struct QtOption {
  const char* name;
  bool bTakesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"geometry", true},
    {"qwindowtitle", true},
    {"title", true},
    {"qwindowicon", true},
    {"icon", true},
    {"display", true},
    {"session", true},
    {"name", true},
    {"style", true},
    {"stylesheet", true},
    {"qmljsdebugger", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
};

// Qt reads "-name" and "--name" alike, and "-name=value" for some.
const QtOption* FindQtOption(const QString& argument, bool* valueAttached) {
  if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("--")) return nullptr;
  QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
  const qsizetype equals = name.indexOf(QLatin1Char('='));
  *valueAttached = equals >= 0;
  if (equals >= 0) name.truncate(equals);
  for (const QtOption& option : kQtOptions) {
    if (name == QLatin1String(option.name)) return &option;
  }
  return nullptr;
}

// The arguments without Qt's own options and their values.
QStringList WithoutQtOptions(const QStringList& arguments) {
  QStringList kept;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    bool valueAttached = false;
    const QtOption* option = i > 0 ? FindQtOption(arguments[i], &valueAttached) : nullptr;
    if (option == nullptr && arguments[i] == QLatin1String("--")) {
      kept << arguments.mid(i);  // all that follows is for the program
      break;
    }
    if (option == nullptr) {
      kept << arguments[i];
      continue;
    }
    if (option->bTakesValue && !valueAttached) ++i;
  }
  return kept;
}

// What an option takes: a whole number in [nMin, nMax], one of the words
// in choices (its position is the value), or text that check accepts. An
// option with none of them is a switch.
struct Values {
  std::int64_t nMin = 0;
  std::int64_t nMax = -1;
  std::span<const std::string_view> choices;
  // Whether the text will do.
  bool (*check)(std::string_view text) = nullptr;
  // The values taken, said in words: made from the range or the words when
  // empty.
  const char* allowed = "";
};

// A value as its option takes it: the number (or the word's position) and
// the text as given, in the file system's bytes.
struct Value {
  std::int64_t nNumber = 0;
  std::string text;
};

struct Option {
  const char* name;
  const char* valueName;  // nullptr: a switch
  const char* help;
  Values values;
  void (*store)(const Value& value, CommandLine& line);
  bool bOutput = false;  // a file that "-" may name: standard output
};

constexpr Values Range(std::int64_t low, std::int64_t high) { return {low, high, {}, nullptr, ""}; }
constexpr Values Words(std::span<const std::string_view> words) {
  return {0, -1, words, nullptr, ""};
}
constexpr Values Text(bool (*check)(std::string_view), const char* allowed) {
  return {0, -1, {}, check, allowed};
}
constexpr Values Switch() { return {}; }

bool AnyPath(std::string_view text) { return !text.empty(); }
// Stored in the record's 1024-byte buffers with their NUL.
bool LogPath(std::string_view text) { return !text.empty() && text.size() < kPathBufferSize; }
bool Device(std::string_view text) { return !text.empty() && DeviceFieldError(text).empty(); }
bool ByteCount(std::string_view text) { return ParseByteCount(text).has_value(); }

constexpr std::string_view kParityWords[] = {"none", "odd", "even", "mark", "space"};
// The record's parity list is NOPARITY, SPACE, MARK, EVEN, ODD.
constexpr std::int32_t kParityIndexOf[] = {0, 4, 3, 2, 1};
constexpr std::string_view kStopBitsWords[] = {"1", "1.5", "2"};
constexpr std::string_view kFlowWords[] = {"none", "rtscts", "dsrdtr"};
// In the order of UnitFormat.
constexpr std::string_view kFormatWords[] = {"text", "hex", "binary", "dec", "float"};
// In the order of TimestampStyle and LineEndsMode.
constexpr std::string_view kTimestampWords[] = {"time", "date"};
constexpr std::string_view kLineEndWords[] = {"cr", "any"};
// In the order of TextEncoding and ControlCharacters.
constexpr std::string_view kEncodingWords[] = {"cp1252", "utf-8", "iso-8859-1", "cp437"};
constexpr std::string_view kControlWords[] = {"as-is", "pictures", "escapes"};

std::int32_t Int32(const Value& value) { return static_cast<std::int32_t>(value.nNumber); }

// The table. Options that set up the run come first, in the order --help
// shows them; a later feature adds its rows (and RunSettings' fields) here.
const Option kOptions[] = {
    {"device", "DEV", "the device to open: a path, rfc2217://HOST:PORT or tcp://HOST:PORT",
     Text(Device, "a path, rfc2217://HOST:PORT or tcp://HOST:PORT"),
     [](const Value& v, CommandLine& c) { c.run.strDevice = v.text; }},
    {"baud", "N", "the baud rate, from the list or any other", Range(1, 0xFFFFFFFF),
     [](const Value& v, CommandLine& c) { c.run.nBaud = static_cast<std::uint32_t>(v.nNumber); }},
    {"data-bits", "BITS", "data bits", Range(5, 8),
     [](const Value& v, CommandLine& c) { c.run.nDataBits = Int32(v); }},
    {"parity", "PARITY", "parity", Words(kParityWords),
     [](const Value& v, CommandLine& c) { c.run.nParityIndex = kParityIndexOf[v.nNumber]; }},
    {"stop-bits", "BITS", "stop bits", Words(kStopBitsWords),
     [](const Value& v, CommandLine& c) { c.run.nStopBitsIndex = Int32(v); }},
    {"flow", "FLOW", "flow control", Words(kFlowWords),
     [](const Value& v, CommandLine& c) { c.run.flow = static_cast<FlowControl>(v.nNumber); }},
    {"format", "FORMAT", "how units are shown and written to the text log", Words(kFormatWords),
     [](const Value& v, CommandLine& c) { c.run.nUnitFormatIndex = Int32(v); }},
    {"unit-bytes", "N", "bytes per unit", Range(1, 4),
     [](const Value& v, CommandLine& c) { c.run.nUnitBytes = Int32(v); }},
    {"reverse-bytes", nullptr, "the first byte of a unit is the least significant", Switch(),
     [](const Value&, CommandLine& c) { c.run.bReverseBytes = true; }},
    {"columns", "N", "units per line; 0: TEXT lines end at line ends only", Range(0, kMaxColumns),
     [](const Value& v, CommandLine& c) { c.run.nColumns = Int32(v); }},
    {"rows", "N", "lines the screen keeps", Range(1, kMaxDisplayRows),
     [](const Value& v, CommandLine& c) { c.run.nRows = Int32(v); }},
    {"raw-log", "FILE", "append every received byte to FILE; - is standard output",
     Text(LogPath, "a file name of 1 to 1023 bytes, or - for standard output"),
     [](const Value& v, CommandLine& c) { c.run.strRawLog = v.text; }, true},
    {"text-log", "FILE",
     "append every line as shown to FILE; - is standard output, a line at a time",
     Text(LogPath, "a file name of 1 to 1023 bytes, or - for standard output"),
     [](const Value& v, CommandLine& c) { c.run.strTextLog = v.text; }, true},
    {"timestamps", "STYLE", "each line's arrival time, in the view and the text log",
     Words(kTimestampWords),
     [](const Value& v, CommandLine& c) {
       c.run.timestamps = static_cast<TimestampStyle>(v.nNumber);
     }},
    {"line-ends", "ENDS", "TEXT lines end at CR, or at any of CR, LF and CR LF",
     Words(kLineEndWords), [](const Value& v, CommandLine& c) { c.run.nLineEnds = Int32(v); }},
    {"pause-break", "MS", "a new line after a pause of MS milliseconds; 0: never",
     Range(0, kMaxPauseBreakMs),
     [](const Value& v, CommandLine& c) { c.run.nPauseBreakMs = Int32(v); }},
    {"encoding", "ENCODING", "how TEXT bytes become characters", Words(kEncodingWords),
     [](const Value& v, CommandLine& c) { c.run.encoding = static_cast<TextEncoding>(v.nNumber); }},
    {"ansi", nullptr, "TEXT: ANSI colours and attributes; other escape sequences are not shown",
     Switch(), [](const Value&, CommandLine& c) { c.run.bAnsi = true; }},
    {"control-characters", "HOW", "TEXT: control characters as they are, as pictures or as \\xHH",
     Words(kControlWords),
     [](const Value& v, CommandLine& c) {
       c.run.controls = static_cast<ControlCharacters>(v.nNumber);
     }},
    {"tap", "PATH", "offer the port to another program at PATH", Text(AnyPath, "a path"),
     [](const Value& v, CommandLine& c) { c.tapPath = v.text; }},
    {"config-dir", "DIR",
     "start in DIR: its Tarnwick.cfg is used and relative log paths resolve against it",
     Text(AnyPath, "a directory"), [](const Value& v, CommandLine& c) { c.configDir = v.text; }},
    {"rotate-size", "BYTES",
     "start a new log file whenever one reaches BYTES (K, M or G may follow); full files are "
     "renamed NAME.1, NAME.2, ... in the order written",
     Text(ByteCount, "a positive number of bytes (K, M or G may follow)"),
     [](const Value& v, CommandLine& c) { c.rotateBytes = ParseByteCount(v.text); }},
    {"rotate-daily", nullptr, "start a new log file at local midnight, named as with --rotate-size",
     Switch(), [](const Value&, CommandLine& c) { c.bRotateDaily = true; }},
    {"status-every", "SECONDS", "with no window: print the counters every SECONDS",
     Range(1, kMaxStatusEverySeconds),
     [](const Value& v, CommandLine& c) { c.nStatusEverySeconds = static_cast<int>(v.nNumber); }},
};

bool TakesValue(const Option& option) { return option.valueName != nullptr; }

std::string Allowed(const Values& values) {
  if (values.nMin <= values.nMax) {
    return std::to_string(values.nMin) + " to " + std::to_string(values.nMax);
  }
  if (values.choices.empty()) return values.allowed;
  std::string words;
  for (std::size_t i = 0; i < values.choices.size(); ++i) {
    if (i > 0) words += i + 1 == values.choices.size() ? " or " : ", ";
    words += values.choices[i];
  }
  return words;
}

// The value of text for option, or nothing when it is not one it takes.
std::optional<Value> Read(const Option& option, std::string text) {
  const Values& values = option.values;
  Value value;
  if (values.nMin <= values.nMax) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value.nNumber);
    if (error != std::errc() || stop != end) return std::nullopt;
    if (value.nNumber < values.nMin || value.nNumber > values.nMax) return std::nullopt;
  } else if (!values.choices.empty()) {
    const auto found = std::find(values.choices.begin(), values.choices.end(), text);
    if (found == values.choices.end()) return std::nullopt;
    value.nNumber = found - values.choices.begin();
  } else if (values.check != nullptr && !values.check(text)) {
    return std::nullopt;
  }
  value.text = std::move(text);
  return value;
}

ParsedCommandLine Exit(int status, std::string message) {
  ParsedCommandLine result;
  result.action = ParsedCommandLine::Action::kExit;
  result.nExitStatus = status;
  result.message = std::move(message);
  return result;
}

const char* NameOf(Program program) {
  return program == Program::kCapture ? "tarnwick-capture" : "tarnwick";
}

ParsedCommandLine UsageError(Program program, const std::string& text) {
  const std::string name = NameOf(program);
  return Exit(2, name + ": " + text + "\nTry '" + name + " --help' for more.\n");
}

// What no single option can see: choices that do not go together.
// toStandardOutput: the options whose file is "-".
std::string CheckTogether(const RunSettings& run,
                          const std::vector<std::string>& toStandardOutput) {
  if (toStandardOutput.size() > 1) {
    return "only one of --" + toStandardOutput[0] + " and --" + toStandardOutput[1] +
           " may be - (standard output)";
  }
  if (run.nUnitFormatIndex == kFormatFloat && run.nUnitBytes && *run.nUnitBytes != 4) {
    return "--format float takes 4-byte units, not --unit-bytes " + std::to_string(*run.nUnitBytes);
  }
  if (run.nUnitFormatIndex == kFormatText && run.nUnitBytes && *run.nUnitBytes != 1) {
    return "--format text takes 1-byte units, not --unit-bytes " + std::to_string(*run.nUnitBytes);
  }
  return {};
}

}  // namespace

void CommandLine::ApplyTo(DisplayOptions& options) const {
  if (rotateBytes) options.nRotateBytes = *rotateBytes;
  if (bRotateDaily) options.bRotateDaily = true;
  run.ApplyTo(options);
}

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

bool EnterConfigDir(const CommandLine& commandLine, std::string* error, Program program) {
  if (commandLine.configDir.empty()) return true;
  std::error_code failure;
  std::filesystem::current_path(commandLine.configDir, failure);
  if (!failure) return true;
  *error = std::string(NameOf(program)) + ": cannot enter '" + commandLine.configDir +
           "': " + failure.message() + "\n";
  return false;
}

std::optional<CommandLine> StartFromCommandLine(int argc, char** argv, Program program,
                                                int* exitStatus) {
#ifndef _WIN32
  // A log past the file-size limit, or a log FIFO or pipe whose reader went
  // away, fails its write (which the status bar or stderr reports) instead
  // of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
#endif
  ParsedCommandLine parsed = ParseCommandLine(ArgumentsOf(argc, argv), program);
  if (parsed.action == ParsedCommandLine::Action::kExit) {
    std::fputs(parsed.message.c_str(), parsed.nExitStatus == 0 ? stdout : stderr);
    *exitStatus = parsed.nExitStatus;
    return std::nullopt;
  }
  std::string error;
  if (!EnterConfigDir(parsed.options, &error, program)) {
    std::fputs(error.c_str(), stderr);
    *exitStatus = 2;
    return std::nullopt;
  }
  return std::move(parsed.options);
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments, Program program) {
  const bool capture = program == Program::kCapture;
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      capture ? QStringLiteral(
                    "tarnwick-capture: captures a serial line to files or standard output with "
                    "no display, as tarnwick --headless does. The options below set up the run; "
                    "Tarnwick.cfg of the current directory, when there is one, supplies the rest.")
              : QStringLiteral(
                    "Tarnwick: a serial-line monitor. Without options it opens its window on the "
                    "settings of Tarnwick.cfg in the current directory; the options below set "
                    "up a run over them, for that run only."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("show this help and end"));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("show the version and end"));
  QCommandLineOption headless(
      QStringLiteral("headless"),
      QStringLiteral("capture with no window: open the port, write the logs, end with status 0 "
                     "on SIGTERM, SIGINT or SIGHUP; SIGUSR1 prints the counters"));
  // The capture is always headless; the option is taken so scripts written
  // for either program run with both.
  if (capture) headless.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({help, version, headless});
  std::vector<QCommandLineOption> options;
  for (const Option& option : kOptions) {
    QString description = QString::fromUtf8(option.help);
    const std::string allowed = Allowed(option.values);
    if (TakesValue(option) && option.values.check == nullptr) {
      description += QStringLiteral(" (%1)").arg(QString::fromStdString(allowed));
    }
    options.emplace_back(QString::fromLatin1(option.name), description,
                         TakesValue(option) ? QString::fromLatin1(option.valueName) : QString());
    parser.addOption(options.back());
  }

  if (!parser.parse(WithoutQtOptions(arguments))) {
    return UsageError(program, parser.errorText().toStdString());
  }
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    // Without an application object the parser cannot name the program.
    text.replace(QLatin1String("<executable_name>"), QLatin1String(NameOf(program)));
    if (!capture) {
      text += QStringLiteral(
          "\nQt's own options (-platform, -style, -display, ...) are taken as Qt takes them.\n");
    }
    return Exit(0, text.toStdString());
  }
  if (parser.isSet(version)) return Exit(0, std::string("Tarnwick ") + kOwnVersion + "\n");
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError(program, "unexpected argument '" +
                                   parser.positionalArguments().constFirst().toStdString() + "'");
  }

  ParsedCommandLine result;
  result.options.bHeadless = capture || parser.isSet(headless);
  std::vector<std::string> toStandardOutput;
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (!parser.isSet(options[i])) continue;
    const Option& option = kOptions[i];
    // Paths are the file system's bytes, as the settings record holds them.
    // A repeated option counts as its last value.
    std::string text = QFile::encodeName(parser.value(options[i])).toStdString();
    const std::optional<Value> value = Read(option, text);
    if (!value) {
      return UsageError(program, std::string("--") + option.name + " takes " +
                                     Allowed(option.values) + ", not '" + text + "'");
    }
    option.store(*value, result.options);
    if (option.bOutput && IsStandardOutputPath(value->text))
      toStandardOutput.push_back(option.name);
  }
  if (const std::string error = CheckTogether(result.options.run, toStandardOutput);
      !error.empty()) {
    return UsageError(program, error);
  }
  return result;
}

}  // namespace tarnwick
