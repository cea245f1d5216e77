// The status bar's word on the logs: while a log cannot be written it names
// the file and the system's reason; once writing works again it goes. The
// logs report on the worker thread; the news is posted to this thread, as
// repaint requests are.
#pragma once

#include <vector>

#include "display/log_failures.h"
#include "port/qt/elided_label.h"

namespace tarnwick {

class LogFailurePane : public ElidedLabel {
  Q_OBJECT
 public:
  explicit LogFailurePane(LogFailures& failures, QWidget* parent = nullptr);
  ~LogFailurePane() override;

  // What the pane says for these failures; empty for none.
  static QString Text(const std::vector<LogFailures::Failure>& failures);
  // FullText() is the whole text; the pane shows it shortened in the middle
  // when the status bar is too narrow for it, and as its tooltip.

 private:
  void Refresh();

  LogFailures& m_failures;
};

}  // namespace tarnwick
