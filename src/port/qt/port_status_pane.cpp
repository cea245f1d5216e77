#include "port/qt/port_status_pane.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tarnwick {
namespace {

QLabel* Pane(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setContentsMargins(4, 0, 4, 0);
  return label;
}

// A failure's reason can be long: the pane keeps to this width (the whole
// text is its tooltip), so a reason never widens the window.
constexpr int kPortPaneMaxWidth = 340;

void SetIfChanged(QLabel* label, const std::string& text, int maxWidth = 0) {
  const QString full = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
  if (label->toolTip() == full && !label->text().isEmpty() == !full.isEmpty()) return;
  label->setToolTip(full);
  label->setText(maxWidth > 0 ? label->fontMetrics().elidedText(full, Qt::ElideRight, maxWidth)
                              : full);
}

}  // namespace

PortStatusPane::PortStatusPane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("portStatusPane"));
  m_pPort = Pane("portState", this);
  m_pPort->setAutoFillBackground(true);
  m_pCounters = Pane("counters", this);
  m_pLogging = Pane("logging", this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_pPort);
  layout->addWidget(m_pCounters);
  layout->addWidget(m_pLogging);
  m_timer.setInterval(kRefreshMs);
  connect(&m_timer, &QTimer::timeout, this, &PortStatusPane::Refresh);
}

void PortStatusPane::SetSource(Source source) {
  m_source = std::move(source);
  m_timer.start();
  Refresh();
}

QColor PortStatusPane::StateColor(PortState state) {
  switch (state) {
    case PortState::kOpen:
      return QColor(0xC8, 0xEE, 0xC8);
    case PortState::kWaiting:
      return QColor(0xFF, 0xE0, 0x99);
    case PortState::kDisconnected:
      return QColor(0xDD, 0xDD, 0xDD);
    default:
      return QColor(0xFF, 0xB0, 0xB0);
  }
}

void PortStatusPane::Refresh() {
  if (m_source.port) {
    const PortStatusText port = m_source.port();
    SetIfChanged(m_pPort, port.text, kPortPaneMaxWidth);
    if (!m_bShownOnce || port.state != m_shownState) {
      QPalette palette = m_pPort->palette();
      palette.setColor(QPalette::Window, StateColor(port.state));
      palette.setColor(QPalette::WindowText, Qt::black);
      m_pPort->setPalette(palette);
      m_shownState = port.state;
      m_bShownOnce = true;
    }
  }
  if (m_source.counters) SetIfChanged(m_pCounters, m_source.counters());
  if (m_source.logging) {
    const std::string logging = m_source.logging();
    SetIfChanged(m_pLogging, logging);
    m_pLogging->setVisible(!logging.empty());
  }
}

}  // namespace tarnwick
