// The status bar's count of what TEXT could not show as text since the last
// Clear: bytes that did not decode and escape sequences that went wrong,
// shown as \xHH on the screen. Hidden while there are none.
#pragma once

#include <QLabel>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace tarnwick {

class InvalidBytesPane : public QLabel {
  Q_OBJECT
 public:
  // count: read on this thread, twice a second.
  explicit InvalidBytesPane(std::function<std::uint64_t()> count, QWidget* parent = nullptr);

  static QString Text(std::uint64_t count);

 private:
  void Refresh();

  std::function<std::uint64_t()> m_count;
  std::uint64_t m_nShown = 0;
  QTimer m_timer;
};

}  // namespace tarnwick
