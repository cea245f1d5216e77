#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <filesystem>
#include <system_error>

#include "display/log_rotation.h"
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

ParsedCommandLine Exit(int status, std::string message) {
  ParsedCommandLine result;
  result.action = ParsedCommandLine::Action::kExit;
  result.nExitStatus = status;
  result.message = std::move(message);
  return result;
}

ParsedCommandLine UsageError(const QString& text) {
  return Exit(2, "tarnwick: " + text.toStdString() + "\nTry 'tarnwick --help' for more.\n");
}

}  // namespace

void CommandLine::ApplyTo(DisplayOptions& options) const {
  if (rotateBytes) options.nRotateBytes = *rotateBytes;
  if (bRotateDaily) options.bRotateDaily = true;
}

QStringList ArgumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

bool EnterConfigDir(const CommandLine& commandLine, std::string* error) {
  if (commandLine.configDir.empty()) return true;
  std::error_code failure;
  std::filesystem::current_path(commandLine.configDir, failure);
  if (!failure) return true;
  *error = "tarnwick: cannot enter '" + commandLine.configDir + "': " + failure.message() + "\n";
  return false;
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Tarnwick: a serial-line monitor. Without options it opens its window on the settings "
      "of Tarnwick.cfg in the current directory."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("show this help and end"));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("show the version and end"));
  const QCommandLineOption headless(
      QStringLiteral("headless"),
      QStringLiteral("capture with no window: open the port, write the logs, end with status 0 "
                     "on SIGTERM, SIGINT or SIGHUP; SIGUSR1 prints the counters"));
  const QCommandLineOption tap(QStringLiteral("tap"),
                               QStringLiteral("offer the port to another program at PATH"),
                               QStringLiteral("PATH"));
  const QCommandLineOption configDir(
      QStringLiteral("config-dir"),
      QStringLiteral("start in DIR: its Tarnwick.cfg is used and relative log paths "
                     "resolve against it"),
      QStringLiteral("DIR"));
  const QCommandLineOption rotateSize(
      QStringLiteral("rotate-size"),
      QStringLiteral("start a new log file whenever one reaches BYTES (K, M or G may follow); "
                     "full files are renamed NAME.1, NAME.2, ... in the order written"),
      QStringLiteral("BYTES"));
  const QCommandLineOption rotateDaily(
      QStringLiteral("rotate-daily"),
      QStringLiteral("start a new log file at local midnight, named as with --rotate-size"));
  const QCommandLineOption statusEvery(
      QStringLiteral("status-every"),
      QStringLiteral("with --headless: print the counters every SECONDS"),
      QStringLiteral("SECONDS"));
  parser.addOptions(
      {help, version, headless, tap, configDir, rotateSize, rotateDaily, statusEvery});

  if (!parser.parse(WithoutQtOptions(arguments))) return UsageError(parser.errorText());
  if (parser.isSet(help)) {
    QString text = parser.helpText();
    // Without an application object the parser cannot name the program.
    text.replace(QLatin1String("<executable_name>"), QLatin1String("tarnwick"));
    text += QStringLiteral(
        "\nQt's own options (-platform, -style, -display, ...) are taken as Qt takes them.\n");
    return Exit(0, text.toStdString());
  }
  if (parser.isSet(version)) return Exit(0, std::string("Tarnwick ") + kOwnVersion + "\n");
  if (!parser.positionalArguments().isEmpty()) {
    return UsageError(
        QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
  }

  ParsedCommandLine result;
  CommandLine& options = result.options;
  options.bHeadless = parser.isSet(headless);
  // Paths are the file system's bytes, as the settings record holds them.
  options.tapPath = QFile::encodeName(parser.value(tap)).toStdString();
  options.configDir = QFile::encodeName(parser.value(configDir)).toStdString();
  if (parser.isSet(tap) && options.tapPath.empty()) {
    return UsageError(QStringLiteral("--tap needs a path"));
  }
  if (parser.isSet(configDir) && options.configDir.empty()) {
    return UsageError(QStringLiteral("--config-dir needs a directory"));
  }
  if (parser.isSet(rotateSize)) {
    options.rotateBytes = ParseByteCount(parser.value(rotateSize).toStdString());
    if (!options.rotateBytes) {
      return UsageError(QStringLiteral("--rotate-size takes a positive number of bytes, not '%1'")
                            .arg(parser.value(rotateSize)));
    }
  }
  options.bRotateDaily = parser.isSet(rotateDaily);
  if (parser.isSet(statusEvery)) {
    bool ok = false;
    const int seconds = parser.value(statusEvery).toInt(&ok);
    if (!ok || seconds <= 0 || seconds > kMaxStatusEverySeconds) {
      return UsageError(QStringLiteral("--status-every takes seconds from 1 to %1, not '%2'")
                            .arg(kMaxStatusEverySeconds)
                            .arg(parser.value(statusEvery)));
    }
    options.nStatusEverySeconds = seconds;
  }
  return result;
}

}  // namespace tarnwick
