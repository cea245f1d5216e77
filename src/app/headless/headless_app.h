// The capture with no window: on a plain core application it builds the same
// settings record, worker, screen model and logs as the window does, prints
// what the window would show in a box or its header to stderr, and ends on
// SIGTERM, SIGINT or SIGHUP after reading what the line still holds, or
// when a log on standard output finds its reader gone (status 0 each time).
// It never writes Tarnwick.cfg and runs no version check.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/headless/stderr_message_boxes.h"
#include "display/log_failures.h"
#include "display/repaint_sink.h"
#include "display/screen_model.h"
#include "port/port_worker.h"
#include "port/serial_device.h"
#include "settings/display_options.h"
#include "settings/live_settings.h"
#include "settings/settings.h"

namespace tarnwick {

class CHeadlessApp : public QObject, public RepaintSink {
  Q_OBJECT
 public:
  // out: where the line summary, the status lines and the boxes' texts go.
  CHeadlessApp(std::unique_ptr<SerialBackend> backend, const CommandLine& commandLine,
               StderrMessageBoxes& out);
  ~CHeadlessApp() override;

  // The tap: another program's end of the line at this path, served beside
  // the port. Set before InitInstance; the capture hands it on from here.
  void SetTapPath(std::string path) { m_strTapPath = std::move(path); }
  const std::string& TapPath() const { return m_strTapPath; }

  // Start directory, configuration file (a missing one prints the window's
  // warning and goes on with the defaults), the profile's options with the
  // command line's over them, the line summary; starts the worker.
  bool InitInstance();
  // Stops the worker once it has read what the line holds, closes the text
  // log's pending line as the window's exit does, closes the port and prints
  // the counters. Returns exitCode.
  int ExitInstance(int exitCode = 0);

  // The counters as the window's header shows them and, while the port is
  // closed, why: "Bytes Read 1597 / Write 0; Port LOST !Input/output error".
  std::string StatusText() const;
  void PrintStatus();

  PortWorker* Worker() const { return m_pWorker.get(); }

 private:
  // RepaintSink, worker thread: the port may have opened, closed or failed.
  void InvalidateAll() override;
  void InvalidateRect(const Rect&) override {}
  void InvalidateCounters() override {}

  // On this object's thread: prints the port's state and the logs' failures
  // when they changed since they were last printed.
  void CheckPortState();
  void CheckLogFailures();

  CommandLine m_commandLine;
  StderrMessageBoxes& m_out;
  std::string m_strTapPath;
  SETTINGS m_Settings = DefaultSettings();
  DisplayOptions m_Options;
  std::string m_szStartDir;
  LiveSettings m_live{m_Settings, m_Options};
  LogFailures m_logFailures;
  std::atomic<bool> m_bPortCheckPosted{false};
  bool m_bPrintedOpen = false;
  // The end was asked for because standard output's reader went away.
  bool m_bEnding = false;
  std::string m_strPrintedStatus;
  std::string m_strPrintedFailures;
  // Declared in the order they must outlive one another: the worker feeds
  // the model and reads the backend.
  std::unique_ptr<SerialBackend> m_pBackend;
  std::unique_ptr<ScreenModel> m_pModel;
  std::unique_ptr<PortWorker> m_pWorker;
};

// The whole capture: the core application, the signals, the status timer;
// returns the exit status.
int RunHeadless(int argc, char** argv, const CommandLine& commandLine);

}  // namespace tarnwick
