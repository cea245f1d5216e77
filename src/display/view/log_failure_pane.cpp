#include "display/view/log_failure_pane.h"

#include <QFile>
#include <QStatusBar>
#include <QStringList>

#include "display/view/ansi_text.h"
#include "platform/error_text.h"

namespace tarnwick {

namespace {

// What the pane asks for at most; it takes more when the bar has it.
constexpr int kWantedWidth = 420;

}  // namespace

LogFailurePane::LogFailurePane(LogFailures& failures, QWidget* parent)
    : ElidedLabel(parent, kWantedWidth, Qt::ElideMiddle), m_failures(failures) {
  setObjectName(QStringLiteral("logFailurePane"));
  QPalette warning = palette();
  warning.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
  setPalette(warning);
  // A long path must not widen the window: the pane asks for a part of the
  // bar and shows what fits into the room it gets.
  m_failures.SetListener(
      [this] { QMetaObject::invokeMethod(this, &LogFailurePane::Refresh, Qt::QueuedConnection); });
  Refresh();
}

LogFailurePane::~LogFailurePane() {
  // From here on no report reaches this object.
  m_failures.SetListener({});
}

QString LogFailurePane::Text(const std::vector<LogFailures::Failure>& failures) {
  QStringList parts;
  for (const LogFailures::Failure& failure : failures) {
    const QString log = failure.kind == LogKind::kRaw    ? QStringLiteral("raw log")
                        : failure.kind == LogKind::kSent ? QStringLiteral("sent raw log")
                                                         : QStringLiteral("text log");
    if (failure.path.empty()) {
      parts << QStringLiteral("Cannot write the %1: no file is chosen").arg(log);
      continue;
    }
    parts << QStringLiteral("Cannot write the %1 \"%2\": %3")
                 .arg(log, QFile::decodeName(failure.path.c_str()),
                      AnsiToQString(SystemErrorText(failure.error)));
  }
  return parts.join(QStringLiteral("; "));
}

void LogFailurePane::Refresh() {
  const QString text = Text(m_failures.Current());
  SetFullText(text);
  if (text.isEmpty()) {
    hide();
    return;
  }
  const auto* bar = qobject_cast<QStatusBar*>(parentWidget());
  if (bar != nullptr && !bar->currentMessage().isEmpty()) {
    // A prompt is on show: hidden as the bar hides its panes, so the bar
    // shows it again when the prompt goes.
    hide();
    setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    return;
  }
  show();
}

}  // namespace tarnwick
