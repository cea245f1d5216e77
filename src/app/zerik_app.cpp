#include "app/zerik_app.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/about_dlg.h"
#include "app/app_icons.h"
#include "app/command_table.h"
#include "app/main_frame.h"
#include "app/qt/help_key.h"
#include "dialogs/qt/conversation_group.h"
#include "dialogs/qt/options_dialog.h"
#include "dialogs/qt/settings_dialog.h"
#include "dialogs/qt/star_dialog.h"
#include "dialogs/screen_settings_corrections.h"
#include "display/view/find_controller.h"
#include "display/view/invalid_bytes_pane.h"
#include "display/view/log_failure_pane.h"
#include "display/view/text_options_menu.h"
#include "display/view/view_follower.h"
#include "platform/com_names.h"
#include "platform/help_page.h"
#include "plot/qt/plot_window.h"
#include "port/line_tables.h"
#include "port/port_status_text.h"
#include "port/qt/line_state_panes.h"
#include "port/qt/port_status_pane.h"
#include "port/serial_line.h"
#include "settings/config_file.h"
#include "settings/qt/conversation_options_profile.h"
#include "settings/qt/display_options_profile.h"
#include "settings/qt/port_profile.h"
#include "transmit/display_text.h"
#include "transmit/field_reader.h"
#include "transmit/port_tx_hand_over.h"
#include "transmit/qt/send_center.h"
#include "transmit/qt/send_dialog.h"

namespace tarnwick {

CZerikApp::CZerikApp(std::unique_ptr<SerialBackend> backend, MessageBoxes& boxes, UrlOpener opener)
    : m_boxes(boxes), m_openUrl(std::move(opener)), m_pBackend(std::move(backend)) {
  if (!m_openUrl) m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  m_helpDirs = {TARNWICK_HELP_DIR,
                QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString()};
  m_runModal = [](QDialog& dialog) { return dialog.exec(); };
}

CZerikApp::~CZerikApp() {
  m_UpdateChecker.Stop();
  // The view stops the worker before the worker and the backend go.
  m_pMainFrame.reset();
}

bool CZerikApp::InitInstance() {
  std::error_code error;
  m_szStartDir = std::filesystem::current_path(error).string();
  m_Options = LoadDisplayOptions();
  m_Conversation = LoadConversationOptions();
  if (m_overrideOptions) m_overrideOptions(m_Options);
  // Before the first open and the first summary: the devices and rates the
  // profile keeps per COM number.
  LoadPortProfile();
  // A missing or unreadable file has shown its warning; the port settings are
  // asked for on the defaults before the worker starts, whatever the answer,
  // unless the command line set the run up. A close request that came during
  // the warning skips them.
  if (!m_runSetup.Load(m_Settings, m_szStartDir, m_boxes) && !m_bCloseRequested) {
    CStarDialog dialog(&m_Settings, *m_choosers.file, m_boxes, [this] { PublishSettings(); });
    m_runModal(dialog);
  }
  PublishSettings();

  m_pMainFrame = std::make_unique<CMainFrame>();
  // Before the view starts the worker, so no report goes unseen.
  // Beside "Ready", taking nearly all the room the status bar has left.
  m_pMainFrame->statusBar()->addWidget(new LogFailurePane(m_logFailures, m_pMainFrame->statusBar()),
                                       100);
  new HelpKey([this] { OnHelp(); }, this);
  UpdateLineSummary();
  auto* view = new CZerikView(m_Settings, *this, m_pMainFrame.get());
  m_pMainFrame->SetView(view);
  m_pMainFrame->statusBar()->addPermanentWidget(new InvalidBytesPane(
      [view] { return view->Model().InvalidCount(); }, m_pMainFrame->statusBar()));
  ApplyConversation();
  m_pMainFrame->LinePanes()->Attach(m_pWorker->Lines());
  // The newest line stays in sight while the view is at the end.
  m_pFollower = &view->Follower();
  connect(m_pFollower, &ViewFollower::FollowChanged, m_pMainFrame.get(),
          &CMainFrame::ShowFollowing);
  // Find: the bar under the view searches the lines as shown.
  m_pFind = new FindController(
      *m_pMainFrame->FindBar(), view->ShownLines(),
      FindController::Hooks{[view] { return view->TopLineNumber(); },
                            [view](const FindMatch& match) { view->ShowMatch(match); },
                            [view] { view->RepaintMarks(); },
                            [view] { return view->Follower().Following(); }},
      this);
  view->SetFind(m_pFind);
  connect(m_pMainFrame->Action(ID_EDIT_FIND), &QAction::triggered, m_pFind, &FindController::Open);
  connect(m_pMainFrame->Action(ID_EDIT_FIND_NEXT), &QAction::triggered, m_pFind,
          &FindController::FindNext);
  connect(m_pMainFrame->Action(ID_EDIT_FIND_PREVIOUS), &QAction::triggered, m_pFind,
          &FindController::FindPrevious);
  connect(m_pMainFrame->Action(ID_EDIT_COPY_SELECTION), &QAction::triggered, view,
          &CZerikView::OnCopySelection);
  // A cleared screen has no matches left to mark.
  connect(m_pMainFrame->Action(ID_CLEAR_SCREEN), &QAction::triggered, m_pFind,
          &FindController::Refresh);
  m_pMainFrame->PortPane()->SetSource(PortStatusPane::Source{
      [this] {
        return DescribePort(m_Settings, PortDevice(), m_pWorker->m_bPortOpen.load(),
                            m_pWorker->Line().DeviceMissing(), m_pWorker->Line().Status());
      },
      [this] {
        return CountersText(m_pWorker->m_nBytesRead.load(), m_pWorker->m_nBytesWritten.load());
      },
      [this] { return LoggingText(m_Settings.bSaveRaw != 0, m_Settings.bSaveText != 0); },
      [this]() -> std::optional<PortStatusText> {
        const SecondPortState state = m_pWorker->SecondPortStatus();
        if (!state.bWanted) return std::nullopt;
        const std::string& port = m_Conversation.strAlsoListenOn;
        return DescribeSecondPort(port, ResolvePortPath(port), state);
      }});
  // Told, not polled: the port's state and the counters change the view's
  // header, and the pane reads them again with the frame that shows it.
  connect(view, &CZerikView::RequestsTaken, m_pMainFrame->PortPane(), &PortStatusPane::Refresh);
  connect(m_pMainFrame->Action(ID_PORT_SETTINGS), &QAction::triggered, this,
          &CZerikApp::OnPortSettings);
  connect(m_pMainFrame->Action(ID_APP_ABOUT), &QAction::triggered, this, &CZerikApp::OnAppAbout);
  connect(m_pMainFrame->Action(ID_HELP_TARNWICK), &QAction::triggered, this, &CZerikApp::OnHelp);
  connect(m_pMainFrame->Action(ID_SCREEN_SETTINGS), &QAction::triggered, this,
          &CZerikApp::OnScreenSettings);
  connect(m_pMainFrame->Action(ID_SEND), &QAction::triggered, this, &CZerikApp::OnSend);
  connect(m_pMainFrame->Action(ID_VIEW_OPTIONS), &QAction::triggered, this, &CZerikApp::OnOptions);
  connect(m_pMainFrame->Action(ID_VIEW_PLOT), &QAction::triggered, this, &CZerikApp::OnPlot);
  m_pMainFrame->TextMenu()->Show(m_Options);
  connect(m_pMainFrame->TextMenu(), &TextOptionsMenu::Changed, this, &CZerikApp::OnTextOptions);
  connect(m_pMainFrame->Action(ID_DISCONNECT), &QAction::triggered, this, &CZerikApp::OnDisconnect);
  connect(m_pMainFrame->Action(ID_CONNECT), &QAction::triggered, this, &CZerikApp::OnConnect);
  CreateSendCenter();
  // Clear empties the plot as it empties the screen.
  connect(m_pMainFrame->Action(ID_CLEAR_SCREEN), &QAction::triggered, this, [this] {
    if (m_pPlotWnd) m_pPlotWnd->Clear();
  });
  m_pMainFrame->RestoreWindowGeometry();
  m_pMainFrame->show();
  // Keys go to the view at the start, not to the send line.
  view->setFocus();
  // A signal that came while start-up still ran (the warning box) is acted
  // on as soon as the event loop runs.
  if (m_bCloseRequested) QTimer::singleShot(0, this, &CZerikApp::CloseMainWindow);
  m_UpdateChecker.StartCheck(m_szStartDir);
  return true;
}

PortWorker& CZerikApp::StartWorker(ScreenModel& model, RepaintSink& sink) {
  m_pWorker = std::make_unique<PortWorker>(m_live, *m_pBackend, &model, &sink);
  m_pWorker->SetLogFailures(&m_logFailures);
  m_pWorker->SetConversation(EffectiveConversation());
  m_pWorker->SetConversationStateListener([this] {
    QMetaObject::invokeMethod(this, &CZerikApp::OnConversationState, Qt::QueuedConnection);
  });
  m_pWorker->Line().SetAdviceReporter([this](const std::string& advice) {
    QMetaObject::invokeMethod(
        this, [this, advice] { ShowOpenAdvice(advice); }, Qt::QueuedConnection);
  });
  model.SetLogFailures(&m_logFailures);
  // The senders hear which blocks left and, while a sequence waits, what
  // was read, in the worker's order; the news is taken on this thread.
  m_sendFeed.SetNotify([this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (m_pSendCenter != nullptr) m_pSendCenter->DrainFeed();
        },
        Qt::QueuedConnection);
  });
  m_pWorker->Queue().SetBlockDone([this](const BlockDone& done) { m_sendFeed.OnBlockDone(done); });
  m_pWorker->SetReceivedListener(&m_sendFeed);
  m_pWorker->Start();
  return *m_pWorker;
}

ConversationOptions CZerikApp::EffectiveConversation() const {
  ConversationOptions options = m_Conversation;
  if (!TapPath().empty()) options.strTapPath = TapPath();
  return options;
}

void CZerikApp::ApplyConversation() {
  const ConversationOptions options = EffectiveConversation();
  if (m_pWorker) m_pWorker->SetConversation(options);
  // Keys typed with local echo are shown as sent lines too.
  const bool echo = m_pSendCenter != nullptr && m_pSendCenter->EchoTyped();
  if (m_pView != nullptr) m_pView->SetConversation(options.HasSentSource() || echo, options.crSent);
}

// The tap has no pane: each new reason it is not served is shown in a box.
// The second port's state is in the status bar beside the first port's; an
// outage of it gets a box only when the status bar is hidden as it begins,
// and one box at most until the port is open again.
void CZerikApp::OnConversationState() {
  if (!m_pWorker || !m_pMainFrame) return;
  m_pMainFrame->PortPane()->Refresh();
  const std::string tap = m_pWorker->TapStatus();
  if (tap != m_strTapShown) {
    m_strTapShown = tap;
    if (!tap.empty()) m_boxes.ShowPath(tap, kApplicationTitle, MessageIcon::kWarning);
  }
  const SecondPortState second = m_pWorker->SecondPortStatus();
  if (second.bOpen || !second.bWanted || second.strReason.empty()) {
    m_bSecondOutageTold = false;
    return;
  }
  if (m_bSecondOutageTold) return;
  m_bSecondOutageTold = true;
  if (m_pMainFrame->Action(ID_VIEW_STATUS_BAR)->isChecked()) return;
  const std::string text =
      "Also listen on " + m_Conversation.strAlsoListenOn + ": " + second.strReason;
  m_boxes.ShowPath(text, kApplicationTitle, MessageIcon::kWarning);
}

void CZerikApp::UpdateLineSummary() {
  m_strLineSummary = BuildLineSummary(m_Settings);
  if (m_pMainFrame) m_pMainFrame->SetTitle(m_strLineSummary);
}

std::string CZerikApp::PortDevice() const {
  return ResolveComNumber(CheckedLineIndexes(m_Settings).nPortIndex + 1);
}

int CZerikApp::ExitInstance(int exitCode) {
  // A program the user closes is not replaced behind their back.
  m_UpdateChecker.Stop();
  // Normally done as the window closed; here for a loop that ended otherwise.
  if (m_pView != nullptr) m_pView->OnDestroy();
  // The Send window closes with the program (a box at exit has no owner).
  if (m_pSendDlg) m_pSendDlg->close();
  if (m_pPlotWnd) m_pPlotWnd->close();
  SaveConfig(m_runSetup.RecordToSave(m_Settings), m_szStartDir, m_boxes);
  if (m_pWorker) m_pWorker->Line().ClosePort();
  // The worker has stopped: nobody reads the dialog's blocks any more.
  m_pSendDlg.reset();
  return exitCode;
}

void CZerikApp::CloseMainWindow() {
  m_bCloseRequested = true;
  // A modal box would keep its own loop running; it goes first.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    if (QApplication::activeModalWidget() == modal) break;
  }
  if (m_pMainFrame) m_pMainFrame->close();
  QCoreApplication::quit();
}

// The dialog publishes every write it makes into the record, so the worker
// reopens with the new settings and a capture file chosen in it is used at
// once, even when the dialog is then cancelled.
void CZerikApp::OnPortSettings() {
  CStarDialog dialog(
      &m_Settings, *m_choosers.file, m_boxes, [this] { PublishSettings(); }, m_pMainFrame.get());
  std::string alsoListenOn = m_Conversation.strAlsoListenOn;
  dialog.AddAlsoListenOn(&alsoListenOn);
  if (m_runModal(dialog) != QDialog::Accepted) return;
  if (alsoListenOn != m_Conversation.strAlsoListenOn) {
    m_Conversation.strAlsoListenOn = alsoListenOn;
    SaveConversationOptions(m_Conversation);
    ApplyConversation();
  }
  if (m_pWorker) m_pWorker->RequestReopen();
  if (m_pView != nullptr) m_pView->OnClearScreen();
  if (m_pPlotWnd) m_pPlotWnd->Clear();
  UpdateLineSummary();
}

void CZerikApp::OnAppAbout() {
  CAboutDlg about(m_pMainFrame.get());
  about.exec();
}

void CZerikApp::SettingsChanged() {
  PublishSettings();
  if (m_pView != nullptr) m_pView->InvalidateAll();
}

void CZerikApp::OnScreenSettings() {
  CSettingsDialog dialog(m_Settings,
                         DialogServices{m_boxes, *m_choosers.file, *m_choosers.font,
                                        *m_choosers.color, [this] { SettingsChanged(); }},
                         m_pMainFrame.get());
  m_runModal(dialog);
  // Whatever the dialog's end; the screen is neither cleared nor reformatted,
  // new settings apply from the next unit.
  CorrectScreenSettings(m_Settings);
  SettingsChanged();
}

void CZerikApp::OnSend() {
  if (!m_pWorker) return;
  if (!m_pSendDlg) {
    m_pTxHandOver = std::make_unique<PortTxHandOver>(*m_pWorker);
    // No parent: a window of its own, as the main window is.
    m_pSendDlg = std::make_unique<CSendDialog>(m_boxes, *m_pTxHandOver);
    m_pSendDlg->setWindowIcon(SendIcon());
    m_pSendDlg->PlaceBeside(*m_pMainFrame);
  }
  m_pSendDlg->ShowWindow();
}

void CZerikApp::OnOptions() {
  DisplayOptions options = m_Options;
  COptionsDialog dialog(options, m_boxes, m_pMainFrame.get());
  auto* both = new CConversationGroup(m_Conversation, *m_choosers.color);
  dialog.AddGroup(both);
  if (m_runModal(dialog) != QDialog::Accepted) return;
  ConversationOptions conversation = m_Conversation;
  both->Store(conversation);
  if (conversation != m_Conversation) {
    // A tap path typed here is the profile's; a --tap of this run stays.
    m_Conversation = conversation;
    SaveConversationOptions(m_Conversation);
    ApplyConversation();
  }
  if (options == m_Options) return;
  const bool shownChanged = options.bTextBesideUnits != m_Options.bTextBesideUnits;
  m_Options = options;
  SaveDisplayOptions(m_Options);
  // Find searches the lines as shown: with or without the characters.
  if (shownChanged && m_pFind != nullptr) m_pFind->Rescan();
  if (m_pFollower != nullptr) {
    m_pFollower->SetEnabled(m_Options.bFollowNewLines);
    // Switched off, nothing is paused: the view simply stays where it is put.
    m_pMainFrame->FollowPane()->setVisible(m_Options.bFollowNewLines && !m_pFollower->Following());
  }
  // Lines already on the screen keep their times; the gutter shows or goes.
  SettingsChanged();
}

void CZerikApp::OnTextOptions() {
  DisplayOptions options = m_Options;
  m_pMainFrame->TextMenu()->Store(options);
  if (options == m_Options) return;
  m_Options = options;
  SaveDisplayOptions(m_Options);
  // Lines already on the screen stay as they were read; Find reads them again
  // with the new lines to come.
  if (m_pFind != nullptr) m_pFind->Rescan();
  SettingsChanged();
}

void CZerikApp::OnPlot(bool show) {
  if (!show) {
    if (m_pPlotWnd) m_pPlotWnd->close();
    return;
  }
  if (!m_pPlotWnd) {
    CPlotWindow::Services services{m_boxes,
                                   [this](bool on) {
                                     if (m_pWorker)
                                       m_pWorker->SetReceiveObserver(on ? &m_plotFeed : nullptr);
                                   },
                                   [this] { return m_Options.bShowTimestamps; },
                                   {}};
    // No parent: a window of its own, as the main window is.
    m_pPlotWnd = std::make_unique<CPlotWindow>(m_plotFeed, std::move(services));
    m_pPlotWnd->setWindowIcon(PlotIcon());
    m_pPlotWnd->PlaceBeside(*m_pMainFrame);
    // The View menu's check mark says whether the window is open, however it
    // was closed (Esc, its own close button, the menu).
    connect(m_pPlotWnd.get(), &CPlotWindow::VisibilityChanged, m_pMainFrame->Action(ID_VIEW_PLOT),
            &QAction::setChecked);
  }
  m_pPlotWnd->ShowWindow();
}

// The send line, typed keys and macros send text in the encoding TEXT is read
// in (View > Text), and sequences read the replies in it.
void CZerikApp::CreateSendCenter() {
  static const std::vector<std::string_view> programKeys = [] {
    std::vector<std::string_view> keys;
    for (const CommandInfo& command : Commands()) {
      if (!command.key.empty()) keys.push_back(command.key);
    }
    return keys;
  }();
  CMainFrame& frame = *m_pMainFrame;
  m_pSendCenter = new CSendCenter(
      CSendCenter::Services{
          frame, *frame.View(), *m_pWorker, m_sendFeed, m_boxes, *m_choosers.file,
          [this](QDialog& dialog) { return m_runModal(dialog); }, programKeys,
          [this](std::string_view utf8) { return EncodeDisplayText(utf8, m_Options.textEncoding); },
          [this](std::string_view utf8) {
            return DisplayTextProblem(utf8, m_Options.textEncoding);
          },
          [this] { return m_Options.textEncoding; },
          [&frame](const QString& text) { frame.statusBar()->showMessage(text, kStatusMessageMs); },
          [this] { ApplyConversation(); }},
      CSendCenter::Actions{frame.Action(ID_VIEW_SEND_LINE), frame.Action(ID_VIEW_MACROS),
                           frame.Action(ID_VIEW_TYPE_INTO_VIEW), frame.Action(ID_VIEW_LOCAL_ECHO),
                           frame.Action(ID_EDIT_PASTE_TO_DEVICE)});
  ApplyConversation();
}

CSendCenter* CZerikApp::SendCenter() const { return m_pSendCenter.data(); }

void CZerikApp::OnDisconnect() {
  if (!m_pWorker || !m_pWorker->ConnectWanted()) return;
  // What waits to be sent is not kept for a Connect that may come much later.
  const std::size_t dropped = m_pSendCenter != nullptr ? m_pSendCenter->StopAll() : 0;
  m_pWorker->RequestDisconnect();
  UpdateConnectCommands();
  QString text = QStringLiteral("Disconnected");
  if (dropped != 0)
    text += QStringLiteral("; %1 block(s) that had not been sent were dropped").arg(dropped);
  m_pMainFrame->statusBar()->showMessage(text, kStatusMessageMs);
}

void CZerikApp::OnConnect() {
  if (!m_pWorker || m_pWorker->ConnectWanted()) return;
  m_pWorker->RequestConnect();
  UpdateConnectCommands();
}

void CZerikApp::UpdateConnectCommands() {
  const bool connected = m_pWorker && m_pWorker->ConnectWanted();
  m_pMainFrame->Action(ID_CONNECT)->setEnabled(!connected);
  m_pMainFrame->Action(ID_DISCONNECT)->setEnabled(connected);
}

void CZerikApp::OnHelp() {
  // A missing page is not reported; asking the desktop anyway could make it
  // show an error of its own.
  const std::optional<std::filesystem::path> page = FindHelpPage(m_szStartDir, m_helpDirs);
  if (!page) return;
  if (m_openUrl(QUrl::fromLocalFile(QFile::decodeName(page->string().c_str())))) return;
  const std::string text =
      "No web browser could be started to show the help page. Open this file in one:\n";
  m_boxes.ShowPath(text + page->string(), "Tarnwick HELP", MessageIcon::kInformation);
}

void CZerikApp::ShowOpenAdvice(const std::string& advice) {
  if (m_bOpenAdviceShown) return;
  m_bOpenAdviceShown = true;
  m_boxes.ShowPath(advice, "Open Port FAILED !", MessageIcon::kWarning);
}

}  // namespace tarnwick
