// SIGINT and SIGTERM end the program as Exit does: the handler only writes
// to a pipe; the event loop reads it and runs the given action.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace tarnwick {

class ShutdownSignals : public QObject {
  Q_OBJECT
 public:
  explicit ShutdownSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~ShutdownSignals() override;

 private:
  void OnReadable();

  std::function<void()> m_onSignal;
  QSocketNotifier* m_pNotifier = nullptr;
};

}  // namespace tarnwick
