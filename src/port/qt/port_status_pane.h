// The status bar's panes for the port: its state in a colour ("COM3
// /dev/ttyUSB0 115200 8N1" on green, a lost port on red, a port waited for on
// amber), the second port's in the same colours while one is configured, the
// Read/Write counters and which logs are written. Nothing polls them: their
// owner calls Refresh when the port's state or the counters changed (the
// counters at the view's frame pace), and a pane is redrawn only when its
// text changed. Long texts are shortened to the room the bar has.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "port/port_status_text.h"

class QLabel;

namespace tarnwick {

class ElidedLabel;

class PortStatusPane : public QWidget {
  Q_OBJECT
 public:
  struct Source {
    std::function<PortStatusText()> port;
    std::function<std::string()> counters;
    std::function<std::string()> logging;
    // The second port; nothing while none is configured.
    std::function<std::optional<PortStatusText>()> second;
  };
  explicit PortStatusPane(QWidget* parent = nullptr);
  // What the panes show from now on; read at once.
  void SetSource(Source source);

  // Reads the source now.
  void Refresh();

  ElidedLabel* PortLabel() const { return m_pPort; }
  ElidedLabel* SecondLabel() const { return m_pSecond; }
  QLabel* CountersLabel() const { return m_pCounters; }
  QLabel* LoggingLabel() const { return m_pLogging; }
  static QColor StateColor(PortState state);

 private:
  Source m_source;
  ElidedLabel* m_pPort = nullptr;
  ElidedLabel* m_pSecond = nullptr;
  QLabel* m_pCounters = nullptr;
  QLabel* m_pLogging = nullptr;
};

}  // namespace tarnwick
