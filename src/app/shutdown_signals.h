// Signals acted on in the event loop: the handler only writes the signal's
// number to a pipe; the event loop reads it and runs that signal's action.
// The window ends on SIGINT and SIGTERM as Exit does; the capture with no
// window adds SIGHUP, and SIGUSR1 for its counters. One instance at a time.
#pragma once

#include <QObject>
#include <functional>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace tarnwick {

class ShutdownSignals : public QObject {
  Q_OBJECT
 public:
  using Actions = std::vector<std::pair<int, std::function<void()>>>;

  // onSignal runs for SIGINT and SIGTERM.
  explicit ShutdownSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  // Each signal number with its action (POSIX; nothing elsewhere).
  explicit ShutdownSignals(Actions actions, QObject* parent = nullptr);
  ~ShutdownSignals() override;

 private:
  void OnReadable();

  Actions m_actions;
  QSocketNotifier* m_pNotifier = nullptr;
};

}  // namespace tarnwick
