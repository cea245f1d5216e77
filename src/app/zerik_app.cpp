#include "app/zerik_app.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QTimer>
#include <filesystem>
#include <system_error>

#include "app/about_dlg.h"
#include "app/app_icons.h"
#include "app/command_table.h"
#include "app/main_frame.h"
#include "port/serial_line.h"
#include "settings/config_file.h"
#include "transmit/port_tx_hand_over.h"
#include "transmit/qt/send_dialog.h"

namespace tarnwick {

CZerikApp::CZerikApp(std::unique_ptr<SerialBackend> backend, MessageBoxes& boxes, UrlOpener opener)
    : m_boxes(boxes), m_openUrl(std::move(opener)), m_pBackend(std::move(backend)) {
  if (!m_openUrl) m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

CZerikApp::~CZerikApp() {
  // The view stops the worker before the worker and the backend go.
  m_pMainFrame.reset();
}

bool CZerikApp::InitInstance() {
  std::error_code error;
  m_szStartDir = std::filesystem::current_path(error).string();
  // A missing file has shown its warning; the program goes on with the defaults.
  LoadConfig(m_Settings, m_szStartDir, m_boxes);
  PublishSettings();

  m_pMainFrame = std::make_unique<CMainFrame>();
  UpdateLineSummary();
  auto* view = new CZerikView(m_Settings, *this, m_pMainFrame.get());
  m_pMainFrame->SetView(view);
  connect(m_pMainFrame->Action(ID_APP_ABOUT), &QAction::triggered, this, &CZerikApp::OnAppAbout);
  connect(m_pMainFrame->Action(ID_HELP_TARNWICK), &QAction::triggered, this, &CZerikApp::OnHelp);
  connect(m_pMainFrame->Action(ID_SEND), &QAction::triggered, this, &CZerikApp::OnSend);
  m_pMainFrame->show();
  // A signal that came while start-up still ran (the warning box) is acted
  // on as soon as the event loop runs.
  if (m_bCloseRequested) QTimer::singleShot(0, this, &CZerikApp::CloseMainWindow);
  return true;
}

PortWorker& CZerikApp::StartWorker(ScreenModel& model, RepaintSink& sink) {
  m_pWorker = std::make_unique<PortWorker>(m_live, *m_pBackend, &model, &sink);
  m_pWorker->Start();
  return *m_pWorker;
}

void CZerikApp::UpdateLineSummary() {
  m_strLineSummary = BuildLineSummary(m_Settings);
  if (m_pMainFrame) m_pMainFrame->SetTitle(m_strLineSummary);
}

int CZerikApp::ExitInstance(int exitCode) {
  // Normally done as the window closed; here for a loop that ended otherwise.
  if (m_pView != nullptr) m_pView->OnDestroy();
  // The Send window closes with the program (a box at exit has no owner).
  if (m_pSendDlg) m_pSendDlg->close();
  SaveConfig(m_Settings, m_szStartDir, m_boxes);
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

void CZerikApp::OnAppAbout() {
  CAboutDlg about(m_pMainFrame.get());
  about.exec();
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

void CZerikApp::OnHelp() {
  const std::filesystem::path path = std::filesystem::path(m_szStartDir) / "help.html";
  // A missing page is not reported; asking the desktop anyway could make it
  // show an error of its own.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return;
  m_openUrl(QUrl::fromLocalFile(QFile::decodeName(path.string().c_str())));
}

}  // namespace tarnwick
