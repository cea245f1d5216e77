#include "app/headless/headless_app.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/shutdown_signals.h"
#include "display/standard_output.h"
#include "platform/error_text.h"
#include "port/serial_line.h"
#include "settings/config_file.h"
#include "settings/qt/conversation_options_profile.h"
#include "settings/qt/display_options_profile.h"
#include "settings/qt/port_profile.h"
#include "settings/run_settings.h"

namespace tarnwick {
namespace {

constexpr int kHeadlessGatherMs = 10;

const char* LogName(LogKind kind) {
  switch (kind) {
    case LogKind::kRaw:
      return "raw log";
    case LogKind::kText:
      return "text log";
    case LogKind::kSent:
      break;
  }
  return "sent raw log";
}

// The status bar's text for the logs that cannot be written.
std::string LogFailuresText(const std::vector<LogFailures::Failure>& failures) {
  std::string text;
  for (const LogFailures::Failure& failure : failures) {
    if (!text.empty()) text += "; ";
    const char* log = LogName(failure.kind);
    if (failure.path.empty()) {
      text += std::string("Cannot write the ") + log + ": no file is chosen";
      continue;
    }
    const std::string where = IsStandardOutputPath(failure.path)
                                  ? std::string(" to standard output")
                                  : " \"" + failure.path + "\"";
    text += std::string("Cannot write the ") + log + where + ": " + SystemErrorText(failure.error);
  }
  return text;
}

}  // namespace

CHeadlessApp::CHeadlessApp(std::unique_ptr<SerialBackend> backend, const CommandLine& commandLine,
                           StderrMessageBoxes& out)
    : m_commandLine(commandLine), m_out(out), m_pBackend(std::move(backend)) {}

CHeadlessApp::~CHeadlessApp() {
  m_logFailures.SetListener({});
  if (m_pWorker) m_pWorker->Stop();
}

bool CHeadlessApp::InitInstance() {
  std::error_code error;
  m_szStartDir = std::filesystem::current_path(error).string();
  m_Options = LoadDisplayOptions();
  m_commandLine.ApplyTo(m_Options);
  // The devices and rates the profile keeps per COM number, as the window
  // uses them.
  LoadPortProfile();
  // A file that cannot be read has printed the window's warning (a missing
  // one only when the command line sets nothing up); the window would then
  // ask for port settings, which nobody can answer here: the defaults stay.
  RunSetup(m_commandLine.run).Load(m_Settings, m_szStartDir, m_out);
  m_live.Publish();
  m_out.PrintLine(BuildLineSummary(m_Settings));

  m_logFailures.SetListener([this] {
    QMetaObject::invokeMethod(this, &CHeadlessApp::CheckLogFailures, Qt::QueuedConnection);
  });
  // Nobody draws the lines: the model's repaint requests would only wake
  // this thread once a batch.
  m_pModel = std::make_unique<ScreenModel>(m_live, nullptr);
  m_pModel->SetLogFailures(&m_logFailures);
  m_pWorker = std::make_unique<PortWorker>(m_live, *m_pBackend, m_pModel.get(), this);
  m_pWorker->SetLogFailures(&m_logFailures);
  m_pWorker->SetDrainAtStop(true);
  // No screen follows the line: a flow is read every 10 ms, a tenth of the
  // wake-ups, unless line breaks after pauses need the reads' times finer
  // (a tenth of the pause at most).
  m_pWorker->SetGatherMs(m_Options.nPauseBreakMs == 0
                             ? kHeadlessGatherMs
                             : std::clamp(m_Options.nPauseBreakMs / 10, 1, kHeadlessGatherMs));
  // The tap and the second port as the window has them; --tap takes the
  // place of the profile's path. Why one is not served goes to stderr.
  ConversationOptions conversation = LoadConversationOptions();
  if (!m_strTapPath.empty()) conversation.strTapPath = m_strTapPath;
  m_pModel->SetDirectionPrefixes(conversation.HasSentSource());
  m_pWorker->SetConversation(conversation);
  m_pWorker->SetConversationStatusListener([this] {
    QMetaObject::invokeMethod(
        this,
        [this] {
          const std::string status = m_pWorker->ConversationStatus();
          if (!status.empty()) m_out.PrintLine(status);
        },
        Qt::QueuedConnection);
  });
  m_pWorker->Start();
  return true;
}

int CHeadlessApp::ExitInstance(int exitCode) {
  if (m_pWorker) m_pWorker->Stop();
  // As the window's exit Clear: the line being filled goes to the text log.
  if (m_pModel) m_pModel->Clear();
  CheckLogFailures();
  PrintStatus();
  if (m_pWorker) m_pWorker->Line().ClosePort();
  return exitCode;
}

std::string CHeadlessApp::StatusText() const {
  if (!m_pWorker) return {};
  char counters[64];
  std::snprintf(counters, sizeof counters, "Bytes Read %d / Write %d",
                m_pWorker->m_nBytesRead.load(), m_pWorker->m_nBytesWritten.load());
  // What was counted before a loss still counts; beside it, why the port is
  // closed now, and what a log could not take.
  std::string text = counters;
  if (!m_pWorker->m_bPortOpen.load()) {
    if (const std::string status = m_pWorker->Line().Status(); !status.empty()) {
      text += "; " + status;
    }
  }
  for (const LogKind kind : {LogKind::kRaw, LogKind::kText, LogKind::kSent}) {
    if (const std::uint64_t lost = m_logFailures.Lost(kind); lost != 0) {
      text += "; " + std::to_string(lost) + " bytes not written to the " + LogName(kind);
    }
  }
  return text;
}

void CHeadlessApp::PrintStatus() {
  const std::string text = StatusText();
  if (!text.empty()) m_out.PrintLine(text);
}

void CHeadlessApp::InvalidateAll() {
  // One look pending is enough.
  if (m_bPortCheckPosted.exchange(true)) return;
  QMetaObject::invokeMethod(this, &CHeadlessApp::CheckPortState, Qt::QueuedConnection);
}

void CHeadlessApp::CheckPortState() {
  m_bPortCheckPosted.store(false);
  if (!m_pWorker) return;
  const bool open = m_pWorker->m_bPortOpen.load();
  const std::string status = m_pWorker->Line().Status();
  if (open == m_bPrintedOpen && (open || status == m_strPrintedStatus)) return;
  m_bPrintedOpen = open;
  m_strPrintedStatus = status;
  PrintStatus();
}

void CHeadlessApp::CheckLogFailures() {
  const std::vector<LogFailures::Failure> failures = m_logFailures.Current();
  const std::string text = LogFailuresText(failures);
  if (text != m_strPrintedFailures) {
    m_out.PrintLine(text.empty() ? "The logs are written again" : text);
    m_strPrintedFailures = text;
  }
  // The reader of standard output has gone (the end of a pipeline, such as
  // head): the capture has nobody left to write for and ends as on SIGTERM,
  // after the other logs have what the line still holds.
  const bool readerGone = std::any_of(failures.begin(), failures.end(), [](const auto& failure) {
    return IsStandardOutputPath(failure.path) && failure.error == EPIPE;
  });
  if (readerGone && !m_bEnding) {
    m_bEnding = true;
    QCoreApplication::quit();
  }
}

int RunHeadless(int argc, char** argv, const CommandLine& commandLine) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QCoreApplication::setOrganizationName(QStringLiteral("Norvast"));

  StderrMessageBoxes out;
  CHeadlessApp app(CreatePlatformSerialBackend(), commandLine, out);
  app.SetTapPath(commandLine.tapPath);
  ShutdownSignals::Actions actions{{SIGINT, [] { QCoreApplication::quit(); }},
                                   {SIGTERM, [] { QCoreApplication::quit(); }}};
#ifndef _WIN32
  actions.emplace_back(SIGHUP, [] { QCoreApplication::quit(); });
  actions.emplace_back(SIGUSR1, [&app] { app.PrintStatus(); });
#endif
  ShutdownSignals endSignals(std::move(actions));
  QTimer statusTimer;
  if (commandLine.nStatusEverySeconds > 0) {
    QObject::connect(&statusTimer, &QTimer::timeout, &app, &CHeadlessApp::PrintStatus);
    statusTimer.start(commandLine.nStatusEverySeconds * 1000);
  }
  if (!app.InitInstance()) return 1;
  const int exitCode = QCoreApplication::exec();
  return app.ExitInstance(exitCode);
}

}  // namespace tarnwick
