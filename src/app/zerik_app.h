// The application object: the settings record, the start directory, the line
// summary, the serial backend and the port worker, the main window; start-up,
// the application's commands and shutdown.
#pragma once

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "display/view/zerik_view.h"
#include "platform/message_box.h"
#include "port/port_worker.h"
#include "port/serial_device.h"
#include "settings/settings.h"

namespace tarnwick {

class CMainFrame;
class CSendDialog;
class PortTxHandOver;

// Opens a file or URL with the desktop's handler; tests record the calls.
using UrlOpener = std::function<bool(const QUrl&)>;

class CZerikApp : public QObject, public ViewHost {
  Q_OBJECT
 public:
  // boxes shows the configuration-file warnings; opener defaults to
  // QDesktopServices::openUrl.
  CZerikApp(std::unique_ptr<SerialBackend> backend, MessageBoxes& boxes, UrlOpener opener = {});
  ~CZerikApp() override;

  // Start directory, configuration file, line summary, main window with the
  // view (which starts the worker), shown. False ends the program.
  bool InitInstance();
  // Saves the configuration and closes the port; the worker has stopped with
  // the view. Returns the exit code to hand on.
  int ExitInstance(int exitCode = 0);

  // Rebuilds m_strLineSummary and puts it into the caption.
  void UpdateLineSummary();

  // Hands m_Settings as it now stands to the worker and the screen model.
  // Every change of the record on this thread is followed by it.
  void PublishSettings() { m_live.Publish(); }

  // Closes the main window as Exit does, from wherever the program is
  // (a modal box included), and ends the event loop.
  void CloseMainWindow();

  CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
  PortWorker* Worker() const { return m_pWorker.get(); }
  CSendDialog* SendDialog() const { return m_pSendDlg.get(); }

  // ViewHost
  PortWorker& StartWorker(ScreenModel& model, RepaintSink& sink) override;
  void SetView(CZerikView* view) override { m_pView = view; }
  const LiveSettings& Live() const override { return m_live; }

 public slots:
  void OnAppAbout();
  void OnHelp();
  void OnSend();

 public:
  SETTINGS m_Settings = DefaultSettings();
  std::string m_szStartDir;
  std::string m_strLineSummary;
  CZerikView* m_pView = nullptr;

 private:
  // m_Settings as the other threads see it; declared after it.
  LiveSettings m_live{m_Settings};
  MessageBoxes& m_boxes;
  UrlOpener m_openUrl;
  // Declared in the order they must outlive one another: the worker reads the
  // settings and the backend; the frame's view stops the worker.
  bool m_bCloseRequested = false;
  std::unique_ptr<SerialBackend> m_pBackend;
  std::unique_ptr<PortWorker> m_pWorker;
  std::unique_ptr<CMainFrame> m_pMainFrame;
  // The Send data dialog, from the first Send command to the exit step; it
  // goes first, after the worker has stopped reading its block.
  std::unique_ptr<PortTxHandOver> m_pTxHandOver;
  std::unique_ptr<CSendDialog> m_pSendDlg;
};

}  // namespace tarnwick
