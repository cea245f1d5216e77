// The application object: the settings record, the start directory, the line
// summary, the serial backend and the port worker, the main window; start-up,
// the application's commands and shutdown.
#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/qt/dialog_services.h"
#include "display/log_failures.h"
#include "display/view/zerik_view.h"
#include "platform/message_box.h"
#include "plot/plot_feed.h"
#include "port/port_worker.h"
#include "port/serial_device.h"
#include "settings/conversation_options.h"
#include "settings/display_options.h"
#include "settings/run_settings.h"
#include "settings/settings.h"
#include "transmit/sequence_feed.h"
#include "update/qt/app_update_checker.h"

class QDialog;

namespace tarnwick {

class CMainFrame;
class CPlotWindow;
class FindController;
class ViewFollower;
class CSendCenter;
class CSendDialog;
class PortTxHandOver;

// Runs a dialog modally and returns its result; tests answer the dialogs.
using ModalRunner = std::function<int(QDialog&)>;

// Opens a file or URL with the desktop's handler; tests record the calls.
using UrlOpener = std::function<bool(const QUrl&)>;

class CZerikApp : public QObject, public ViewHost {
  Q_OBJECT
 public:
  // boxes shows the configuration-file warnings; opener defaults to
  // QDesktopServices::openUrl.
  CZerikApp(std::unique_ptr<SerialBackend> backend, MessageBoxes& boxes, UrlOpener opener = {});
  ~CZerikApp() override;

  // The tap: another program's end of the line at this path, served beside
  // the port. Set before InitInstance; the window hands it on from here.
  void SetTapPath(std::string path) { m_strTapPath = std::move(path); }
  const std::string& TapPath() const { return m_strTapPath; }
  // Applied to the profile's options at start-up (the command line's
  // choices); the profile keeps its own until Options is confirmed.
  void OverrideOptions(std::function<void(DisplayOptions&)> adjust) {
    m_overrideOptions = std::move(adjust);
  }
  // The command line's device, line, format and logs: laid over the cfg at
  // start-up, and off the record again when the exit saves it.
  void SetRunSettings(RunSettings run) { m_runSetup = RunSetup(std::move(run)); }

  // Start directory, configuration file, line summary, main window with the
  // view (which starts the worker), shown. False ends the program.
  bool InitInstance();
  // Saves the configuration and closes the port; the worker has stopped with
  // the view. Returns the exit code to hand on.
  int ExitInstance(int exitCode = 0);

  // The conversation options in effect: the profile's, with TapPath() (the
  // command line's --tap, never saved) in place of the profile's path.
  ConversationOptions EffectiveConversation() const;
  // Hands them to the worker and the view.
  void ApplyConversation();

  // Rebuilds m_strLineSummary and puts it into the caption.
  void UpdateLineSummary();
  // Where the settings' port name leads on this machine; empty when nowhere.
  std::string PortDevice() const;

  // Hands m_Settings as it now stands to the worker and the screen model.
  // Every change of the record on this thread is followed by it.
  void PublishSettings() { m_live.Publish(); }

  // Closes the main window as Exit does, from wherever the program is
  // (a modal box included), and ends the event loop.
  void CloseMainWindow();
  // Where this run's version check stands.
  CheckOutcome UpdateCheckOutcome() { return m_UpdateChecker.Checker().Outcome(); }

  // Publishes the record and repaints the whole view: after a settings
  // dialog or one of its handlers wrote it.
  void SettingsChanged();
  // Seams for tests: the choosers the dialogs open, and how the settings
  // dialogs run modally (QDialog::exec otherwise; set before InitInstance
  // for the first start's).
  DialogChoosers& Choosers() { return m_choosers; }
  void SetModalRunner(ModalRunner run) { m_runModal = std::move(run); }
  // Where F1 looks for help.html after the start directory: the installed
  // data directory, then the executable's.
  void SetHelpDirs(std::vector<std::filesystem::path> dirs) { m_helpDirs = std::move(dirs); }

  CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
  PortWorker* Worker() const { return m_pWorker.get(); }
  LogFailures& Logs() { return m_logFailures; }
  CSendDialog* SendDialog() const { return m_pSendDlg.get(); }
  // The send line, macros, typed keys and sequences.
  CSendCenter* SendCenter() const;
  CPlotWindow* PlotWindow() const { return m_pPlotWnd.get(); }
  ViewFollower* Follower() const { return m_pFollower; }
  FindController* Find() const { return m_pFind; }

  // ViewHost
  PortWorker& StartWorker(ScreenModel& model, RepaintSink& sink) override;
  void SetView(CZerikView* view) override { m_pView = view; }
  const LiveSettings& Live() const override { return m_live; }
  const DisplayOptions& Options() const override { return m_Options; }

 public slots:
  void OnPortSettings();
  void OnAppAbout();
  void OnHelp();
  void OnScreenSettings();
  void OnSend();
  // View, "Options...": the options outside the record, kept in the profile.
  void OnOptions();
  // The tap's or the second port's state changed: the status bar shows it,
  // a box says why the tap is not served.
  void OnConversationState();
  // View, "Plot", checked: the live plot window opens; unchecked, it closes.
  void OnPlot(bool show = true);
  // View > Text: an entry was chosen; the options are kept in the profile.
  void OnTextOptions();
  // Main, "Disconnect": the port is let go of (another program may have it)
  // until "Connect"; the window, the history and the logs stay.
  void OnDisconnect();
  void OnConnect();

 public:
  SETTINGS m_Settings = DefaultSettings();
  // Read from the profile at start-up; published with m_Settings.
  DisplayOptions m_Options;
  // The tap, the second port and the sent direction, from the profile.
  ConversationOptions m_Conversation;
  std::string m_szStartDir;
  std::string m_strLineSummary;
  CZerikView* m_pView = nullptr;

 private:
  // Once a run: the advice for a port the user may not open (the group to join).
  void ShowOpenAdvice(const std::string& advice);
  // The send line, the macro panel and typing into the view, in the frame.
  void CreateSendCenter();
  // Connect is offered while disconnected, Disconnect while not.
  void UpdateConnectCommands();
  // How long a word in the status bar's message area stays.
  static constexpr int kStatusMessageMs = 10000;

  // m_Settings as the other threads see it; declared after it.
  LiveSettings m_live{m_Settings, m_Options};
  // Logs that cannot be written, reported by the worker and the screen model.
  LogFailures m_logFailures;
  MessageBoxes& m_boxes;
  UrlOpener m_openUrl;
  std::string m_strTapPath;
  std::function<void(DisplayOptions&)> m_overrideOptions;
  RunSetup m_runSetup;
  DialogChoosers m_choosers;
  ModalRunner m_runModal;
  std::vector<std::filesystem::path> m_helpDirs;
  bool m_bOpenAdviceShown = false;
  // Why the tap is not served, as last shown in a box (empty: it is served).
  std::string m_strTapShown;
  // The second port's outage under way was told (in the status bar or a box).
  bool m_bSecondOutageTold = false;
  // Declared in the order they must outlive one another: the worker reads the
  // settings and the backend; the frame's view stops the worker.
  bool m_bCloseRequested = false;
  // Asks its question through m_boxes and closes the window as Exit does.
  AppUpdateChecker m_UpdateChecker{this, m_boxes, [this] { CloseMainWindow(); },
                                   [this] { return m_bCloseRequested; }};
  // What the plot takes from the receive path; it outlives the worker.
  PlotFeed m_plotFeed;
  // What the senders hear from the worker; it outlives the worker.
  SequenceFeed m_sendFeed;
  std::unique_ptr<SerialBackend> m_pBackend;
  std::unique_ptr<PortWorker> m_pWorker;
  std::unique_ptr<CMainFrame> m_pMainFrame;
  // The Send data dialog, from the first Send command to the exit step; it
  // goes first, after the worker has stopped reading its block.
  std::unique_ptr<PortTxHandOver> m_pTxHandOver;
  std::unique_ptr<CSendDialog> m_pSendDlg;
  // The plot window, from the first Plot command on.
  std::unique_ptr<CPlotWindow> m_pPlotWnd;
  // Belongs to the frame; a worker's news queued to this object may come
  // after the frame has gone.
  QPointer<CSendCenter> m_pSendCenter;
  // Belongs to the view.
  ViewFollower* m_pFollower = nullptr;
  // Belongs to this object; reads the view's lines.
  FindController* m_pFind = nullptr;
};

}  // namespace tarnwick
