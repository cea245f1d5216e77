// Tarnwick: a serial-line monitor.
#include <QApplication>
#include <csignal>
#include <cstdio>

#include "app/command_line.h"
#include "app/headless/headless_app.h"
#include "app/qt_message_boxes.h"
#include "app/shutdown_signals.h"
#include "app/zerik_app.h"
#include "port/serial_device.h"

namespace {

int RunWindow(int argc, char** argv, const tarnwick::CommandLine& commandLine) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QApplication::setOrganizationName(QStringLiteral("Norvast"));

  tarnwick::QtMessageBoxes boxes;
  tarnwick::CZerikApp app(tarnwick::CreatePlatformSerialBackend(), boxes);
  app.SetTapPath(commandLine.tapPath);
  app.OverrideOptions(
      [commandLine](tarnwick::DisplayOptions& options) { commandLine.ApplyTo(options); });
  tarnwick::ShutdownSignals shutdownSignals([&app] { app.CloseMainWindow(); });
  if (!app.InitInstance()) return 1;
  const int exitCode = application.exec();
  return app.ExitInstance(exitCode);
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  // A log past the file-size limit, or a log FIFO whose reader went away,
  // fails its write (which the status bar reports) instead of ending the
  // program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
#endif
  // Before any application object: --help and --version need no display.
  const tarnwick::ParsedCommandLine parsed =
      tarnwick::ParseCommandLine(tarnwick::ArgumentsOf(argc, argv));
  if (parsed.action == tarnwick::ParsedCommandLine::Action::kExit) {
    std::fputs(parsed.message.c_str(), parsed.nExitStatus == 0 ? stdout : stderr);
    return parsed.nExitStatus;
  }
  std::string error;
  if (!tarnwick::EnterConfigDir(parsed.options, &error)) {
    std::fputs(error.c_str(), stderr);
    return 2;
  }
  if (parsed.options.bHeadless) return tarnwick::RunHeadless(argc, argv, parsed.options);
  return RunWindow(argc, argv, parsed.options);
}
