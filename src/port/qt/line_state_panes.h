// The status bar's view of the line: lamps for CTS, DSR, DCD and RI, the DTR
// and RTS toggles and the "Errors: n" pane. They show what the port's
// LineState publishes, posted to this thread and gathered, as repaints are;
// the Line menu's actions follow the same status.
#pragma once

#include <QWidget>
#include <array>
#include <atomic>

#include "port/line_state.h"

class QAction;
class QLabel;
class QToolButton;

namespace tarnwick {

class LineStatePanes : public QWidget {
  Q_OBJECT
 public:
  // dtr and rts: the Line menu's checkable entries; pulse: its pulse entry.
  // They stay disabled until a port with modem lines lets the user have them.
  LineStatePanes(QAction* dtr, QAction* rts, QAction* pulse, QWidget* parent = nullptr);
  ~LineStatePanes() override;

  // Follows lines from now on; call once.
  void Attach(LineState& lines);

  // The lamp of a ModemLine bit (kModemCts ...), the toggles, the error pane.
  QLabel* Lamp(unsigned line) const;
  QToolButton* Toggle(OutputLine line) const;
  QLabel* ErrorPane() const { return m_pErrors; }

  // What the panes say for a status.
  static QString LampToolTip(const LineStatus& status, unsigned line);
  static QString ToggleToolTip(const LineStatus& status, OutputLine line);
  static QString ErrorText(const LineStatus& status);
  static QString ErrorToolTip(const LineStatus& status);

 private:
  void Refresh();
  void Show(const LineStatus& status);
  void OnToggle(OutputLine line, bool high);
  void OnPulse();

  LineState* m_pLines = nullptr;
  std::atomic<bool> m_bRefreshPosted{false};
  QAction* m_pDtrAction;
  QAction* m_pRtsAction;
  QAction* m_pPulseAction;
  std::array<QLabel*, 4> m_lamps{};  // CTS, DSR, DCD, RI
  QToolButton* m_pDtr = nullptr;
  QToolButton* m_pRts = nullptr;
  QLabel* m_pErrors = nullptr;
};

}  // namespace tarnwick
