// The status bar's word on the logs: while a log cannot be written it names
// the file and the system's reason; once writing works again it goes. The
// logs report on the worker thread; the news is posted to this thread, as
// repaint requests are.
#pragma once

#include <QLabel>
#include <vector>

#include "display/log_failures.h"

namespace tarnwick {

class LogFailurePane : public QLabel {
  Q_OBJECT
 public:
  explicit LogFailurePane(LogFailures& failures, QWidget* parent = nullptr);
  ~LogFailurePane() override;

  // What the pane says for these failures; empty for none.
  static QString Text(const std::vector<LogFailures::Failure>& failures);
  // The whole text; the pane shows it shortened in the middle when the
  // status bar is too narrow for it, and as its tooltip.
  QString FullText() const { return m_strFullText; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Refresh();
  void ShowElided();

  LogFailures& m_failures;
  QString m_strFullText;
};

}  // namespace tarnwick
