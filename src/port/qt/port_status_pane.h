// The status bar's panes for the port: its state in a colour ("COM3
// /dev/ttyUSB0 115200 8N1" on green, a lost port on red, a port waited for on
// amber), the Read/Write counters and which logs are written. They are read
// four times a second; a pane is redrawn only when its text changed.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "port/port_status_text.h"

class QLabel;

namespace tarnwick {

class PortStatusPane : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kRefreshMs = 250;

  struct Source {
    std::function<PortStatusText()> port;
    std::function<std::string()> counters;
    std::function<std::string()> logging;
  };
  explicit PortStatusPane(QWidget* parent = nullptr);
  // What the panes show from now on.
  void SetSource(Source source);

  // Reads the source now.
  void Refresh();

  QLabel* PortLabel() const { return m_pPort; }
  QLabel* CountersLabel() const { return m_pCounters; }
  QLabel* LoggingLabel() const { return m_pLogging; }
  static QColor StateColor(PortState state);

 private:
  Source m_source;
  QLabel* m_pPort = nullptr;
  QLabel* m_pCounters = nullptr;
  QLabel* m_pLogging = nullptr;
  PortState m_shownState = PortState::kFailed;
  bool m_bShownOnce = false;
  QTimer m_timer;
};

}  // namespace tarnwick
