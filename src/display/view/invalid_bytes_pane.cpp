#include "display/view/invalid_bytes_pane.h"

namespace tarnwick {

InvalidBytesPane::InvalidBytesPane(std::function<std::uint64_t()> count, QWidget* parent)
    : QLabel(parent), m_count(std::move(count)) {
  setObjectName(QStringLiteral("invalidBytesPane"));
  setToolTip(QStringLiteral(
      "Sequences TEXT could not read, shown as \\xHH (bytes that are not UTF-8, escape "
      "sequences that went wrong); Clear counts afresh"));
  hide();
  m_timer.setInterval(500);
  connect(&m_timer, &QTimer::timeout, this, &InvalidBytesPane::Refresh);
  m_timer.start();
}

QString InvalidBytesPane::Text(std::uint64_t count) {
  return QStringLiteral("%1 invalid").arg(count);
}

void InvalidBytesPane::Refresh() {
  const std::uint64_t count = m_count ? m_count() : 0;
  if (count == m_nShown) return;
  m_nShown = count;
  setText(Text(count));
  setAccessibleName(text());
  setVisible(count > 0);
}

}  // namespace tarnwick
