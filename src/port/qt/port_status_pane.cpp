#include "port/qt/port_status_pane.h"

#include <QHBoxLayout>
#include <QLabel>

#include "port/qt/elided_label.h"

namespace tarnwick {
namespace {

// A failure's reason can be long: a state pane asks for at most this width
// (the whole text is its tooltip).
constexpr int kPortPaneMaxWidth = 340;
constexpr int kSecondPaneMaxWidth = 260;

template <typename Label>
Label* Pane(const char* name, Label* label) {
  label->setObjectName(QString::fromLatin1(name));
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setContentsMargins(4, 0, 4, 0);
  return label;
}

QString FromLocal(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void SetIfChanged(QLabel* label, const std::string& text) {
  const QString shown = FromLocal(text);
  if (label->text() != shown) label->setText(shown);
}

// The state's colour behind black text, set only when the state changed.
void ShowState(ElidedLabel* label, const PortStatusText& status) {
  label->SetFullText(FromLocal(status.text));
  const QColor colour = PortStatusPane::StateColor(status.state);
  if (label->palette().color(QPalette::Window) == colour) return;
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
}

}  // namespace

PortStatusPane::PortStatusPane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("portStatusPane"));
  m_pPort = Pane("portState", new ElidedLabel(this, kPortPaneMaxWidth));
  m_pPort->setAutoFillBackground(true);
  m_pSecond = Pane("secondPortState", new ElidedLabel(this, kSecondPaneMaxWidth));
  m_pSecond->setAutoFillBackground(true);
  m_pSecond->hide();
  m_pCounters = Pane("counters", new QLabel(this));
  m_pLogging = Pane("logging", new QLabel(this));
  m_pLogging->hide();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // The state panes give way first when the bar is narrow.
  layout->addWidget(m_pPort, 1);
  layout->addWidget(m_pSecond, 1);
  layout->addWidget(m_pCounters);
  layout->addWidget(m_pLogging);
}

void PortStatusPane::SetSource(Source source) {
  m_source = std::move(source);
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
  if (m_source.port) ShowState(m_pPort, m_source.port());
  if (m_source.second) {
    const std::optional<PortStatusText> second = m_source.second();
    if (second) ShowState(m_pSecond, *second);
    if (m_pSecond->isVisibleTo(this) != second.has_value())
      m_pSecond->setVisible(second.has_value());
  }
  if (m_source.counters) SetIfChanged(m_pCounters, m_source.counters());
  if (m_source.logging) {
    const std::string logging = m_source.logging();
    SetIfChanged(m_pLogging, logging);
    if (m_pLogging->isVisibleTo(this) != !logging.empty()) m_pLogging->setVisible(!logging.empty());
  }
}

}  // namespace tarnwick
