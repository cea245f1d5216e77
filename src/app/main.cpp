// Tarnwick: a serial-line monitor.
#include <QApplication>

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
  app.SetRunSettings(commandLine.run);
  tarnwick::ShutdownSignals shutdownSignals([&app] { app.CloseMainWindow(); });
  if (!app.InitInstance()) return 1;
  const int exitCode = application.exec();
  return app.ExitInstance(exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  // Before any application object: --help and --version need no display.
  int exitStatus = 0;
  const std::optional<tarnwick::CommandLine> commandLine =
      tarnwick::StartFromCommandLine(argc, argv, tarnwick::Program::kTarnwick, &exitStatus);
  if (!commandLine) return exitStatus;
  if (commandLine->bHeadless) return tarnwick::RunHeadless(argc, argv, *commandLine);
  return RunWindow(argc, argv, *commandLine);
}
