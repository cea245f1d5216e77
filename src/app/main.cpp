// Tarnwick: a serial-line monitor.
#include <QApplication>
#include <csignal>

#include "app/qt_message_boxes.h"
#include "app/shutdown_signals.h"
#include "app/zerik_app.h"
#include "port/serial_device.h"

int main(int argc, char** argv) {
#ifndef _WIN32
  // A log past the file-size limit, or a log FIFO whose reader went away,
  // fails its write (which the status bar reports) instead of ending the
  // program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
#endif
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QApplication::setOrganizationName(QStringLiteral("Norvast"));

  tarnwick::QtMessageBoxes boxes;
  tarnwick::CZerikApp app(tarnwick::CreatePlatformSerialBackend(), boxes);
  tarnwick::ShutdownSignals shutdownSignals([&app] { app.CloseMainWindow(); });
  if (!app.InitInstance()) return 1;
  const int exitCode = application.exec();
  return app.ExitInstance(exitCode);
}
