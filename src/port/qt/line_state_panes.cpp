#include "port/qt/line_state_panes.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <string_view>

#include "port/line_tables.h"

namespace tarnwick {

namespace {

struct LampInfo {
  unsigned bit;
  const char* name;
  const char* meaning;
};

constexpr std::array<LampInfo, 4> kLamps = {{
    {kModemCts, "CTS", "Clear To Send"},
    {kModemDsr, "DSR", "Data Set Ready"},
    {kModemDcd, "DCD", "Data Carrier Detect"},
    {kModemRi, "RI", "Ring Indicator"},
}};

const QColor kLitColor(0x2E, 0xB8, 0x3C);
const QColor kErrorColor(0xC6, 0x28, 0x28);

const char* LineName(OutputLine line) { return line == OutputLine::kDtr ? "DTR" : "RTS"; }

// "HANDSHAKE" from the summary piece ";DTR=HANDSHAKE": the pieces are in the
// order of the DCB's codes.
QString ControlName(OutputLine line, std::uint32_t control) {
  std::string_view piece;
  if (line == OutputLine::kDtr) {
    if (control < kDtrPieces.size()) piece = kDtrPieces[control];
  } else if (control < kRtsPieces.size()) {
    piece = kRtsPieces[control];
  }
  const std::size_t equals = piece.find('=');
  if (equals != std::string_view::npos) piece.remove_prefix(equals + 1);
  return QString::fromLatin1(piece.data(), static_cast<qsizetype>(piece.size()));
}

// Why the lines can be neither shown nor set, after their name; empty when
// they can.
QString LinesUnavailable(const LineStatus& status, bool lamp) {
  if (!status.bOpen) return QStringLiteral(": the port is closed");
  if (status.bLinesLost)
    return QStringLiteral(": the device no longer answers for its modem lines");
  if (status.bModemLines) return {};
  return lamp ? QStringLiteral(": this device has no modem lines (a pseudo-terminal has none)")
              : QStringLiteral(": this device has no modem lines");
}

QLabel* NewPane(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setAlignment(Qt::AlignCenter);
  label->setAutoFillBackground(true);
  return label;
}

// A coloured pane with white text, or the bar's own colours.
void Colour(QLabel* label, const QColor* background) {
  QPalette palette = label->parentWidget()->palette();
  if (background != nullptr) {
    palette.setColor(QPalette::Window, *background);
    palette.setColor(QPalette::WindowText, Qt::white);
  }
  label->setPalette(palette);
}

}  // namespace

LineStatePanes::LineStatePanes(QAction* dtr, QAction* rts, QAction* pulse, QWidget* parent)
    : QWidget(parent), m_pDtrAction(dtr), m_pRtsAction(rts), m_pPulseAction(pulse) {
  setObjectName(QStringLiteral("lineStatePanes"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  // As narrow as their texts allow: the status bar is shared with the log
  // failure text.
  const int lampWidth = fontMetrics().horizontalAdvance(QStringLiteral("DSR")) + 8;
  for (std::size_t i = 0; i < kLamps.size(); ++i) {
    const QString name = QString::fromLatin1(kLamps[i].name);
    QLabel* lamp = NewPane(name, this);
    lamp->setObjectName(QStringLiteral("lamp") + name);
    lamp->setAccessibleName(name);
    lamp->setFixedWidth(lampWidth);
    layout->addWidget(lamp);
    m_lamps[i] = lamp;
  }
  layout->addSpacing(4);

  auto toggle = [&](OutputLine line, QAction* action) {
    auto* button = new QToolButton(this);
    button->setText(QString::fromLatin1(LineName(line)));
    button->setObjectName(QStringLiteral("toggle") + button->text());
    button->setAccessibleName(button->text());
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);  // the Line menu is the keyboard's way
    connect(button, &QToolButton::clicked, this,
            [this, line](bool checked) { OnToggle(line, checked); });
    connect(action, &QAction::triggered, this,
            [this, line](bool checked) { OnToggle(line, checked); });
    layout->addWidget(button);
    return button;
  };
  m_pDtr = toggle(OutputLine::kDtr, m_pDtrAction);
  m_pRts = toggle(OutputLine::kRts, m_pRtsAction);
  connect(m_pPulseAction, &QAction::triggered, this, &LineStatePanes::OnPulse);
  layout->addSpacing(4);

  m_pErrors = NewPane(QString(), this);
  m_pErrors->setObjectName(QStringLiteral("errorPane"));
  m_pErrors->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Errors: n/a")) + 8);
  layout->addWidget(m_pErrors);

  Show(LineStatus{});
}

LineStatePanes::~LineStatePanes() {
  // From here on no news reaches this object.
  if (m_pLines != nullptr) m_pLines->SetListener({});
}

void LineStatePanes::Attach(LineState& lines) {
  m_pLines = &lines;
  lines.SetListener([this] {
    // One refresh on its way at a time; it reads the status as it then is.
    if (!m_bRefreshPosted.exchange(true)) {
      QMetaObject::invokeMethod(this, &LineStatePanes::Refresh, Qt::QueuedConnection);
    }
  });
  Refresh();
}

QLabel* LineStatePanes::Lamp(unsigned line) const {
  for (std::size_t i = 0; i < kLamps.size(); ++i) {
    if (kLamps[i].bit == line) return m_lamps[i];
  }
  return nullptr;
}

QToolButton* LineStatePanes::Toggle(OutputLine line) const {
  return line == OutputLine::kDtr ? m_pDtr : m_pRts;
}

void LineStatePanes::Refresh() {
  m_bRefreshPosted.store(false);
  if (m_pLines != nullptr) Show(m_pLines->Status());
}

void LineStatePanes::Show(const LineStatus& status) {
  const bool lamps = status.bOpen && status.bModemLines;
  for (std::size_t i = 0; i < kLamps.size(); ++i) {
    QLabel* lamp = m_lamps[i];
    const bool lit = lamps && (status.nInputs & kLamps[i].bit) != 0;
    lamp->setEnabled(lamps);
    lamp->setProperty("lit", lit);
    Colour(lamp, lit ? &kLitColor : nullptr);
    lamp->setToolTip(LampToolTip(status, kLamps[i].bit));
  }

  for (const OutputLine line : {OutputLine::kDtr, OutputLine::kRts}) {
    const bool dtr = line == OutputLine::kDtr;
    const bool settable = dtr ? status.bDtrSettable : status.bRtsSettable;
    const bool high = status.bOpen && (dtr ? status.bDtr : status.bRts);
    QToolButton* button = Toggle(line);
    button->setEnabled(settable);
    button->setChecked(high);
    button->setToolTip(ToggleToolTip(status, line));
    QAction* action = dtr ? m_pDtrAction : m_pRtsAction;
    action->setCheckable(true);
    action->setEnabled(settable);
    action->setChecked(high);
  }
  m_pPulseAction->setEnabled(status.bDtrSettable);

  const bool highlighted = status.bErrorsCounted && status.errors.Total() > 0;
  m_pErrors->setText(ErrorText(status));
  m_pErrors->setToolTip(ErrorToolTip(status));
  m_pErrors->setEnabled(status.bOpen);
  m_pErrors->setProperty("highlighted", highlighted);
  Colour(m_pErrors, highlighted ? &kErrorColor : nullptr);
}

void LineStatePanes::OnToggle(OutputLine line, bool high) {
  // A refusal (the port closed meanwhile, the device said no) leaves the
  // line as it was, and the check mark follows the line.
  if (m_pLines != nullptr) {
    if (line == OutputLine::kDtr) {
      m_pLines->SetDtr(high);
    } else {
      m_pLines->SetRts(high);
    }
  }
  Refresh();
}

void LineStatePanes::OnPulse() {
  if (m_pLines != nullptr) m_pLines->PulseDtr();
}

QString LineStatePanes::LampToolTip(const LineStatus& status, unsigned line) {
  const LampInfo* info = nullptr;
  for (const LampInfo& lamp : kLamps) {
    if (lamp.bit == line) info = &lamp;
  }
  if (info == nullptr) return {};
  const QString name = QStringLiteral("%1 (%2)").arg(QString::fromLatin1(info->name),
                                                     QString::fromLatin1(info->meaning));
  if (const QString why = LinesUnavailable(status, true); !why.isEmpty()) return name + why;
  return name +
         ((status.nInputs & line) != 0 ? QStringLiteral(" is up") : QStringLiteral(" is down"));
}

QString LineStatePanes::ToggleToolTip(const LineStatus& status, OutputLine line) {
  const QString name = QString::fromLatin1(LineName(line));
  if (const QString why = LinesUnavailable(status, false); !why.isEmpty()) return name + why;
  const bool dtr = line == OutputLine::kDtr;
  if (!(dtr ? status.bDtrSettable : status.bRtsSettable)) {
    return QStringLiteral(
               "%1 follows its control setting, %2: choose ENABLE or DISABLE in Port Settings "
               "to set it here")
        .arg(name, ControlName(line, dtr ? status.nDtrControl : status.nRtsControl));
  }
  return (dtr ? status.bDtr : status.bRts) ? name + QStringLiteral(" is up: click to lower it")
                                           : name + QStringLiteral(" is down: click to raise it");
}

QString LineStatePanes::ErrorText(const LineStatus& status) {
  if (!status.bErrorsCounted) return QStringLiteral("Errors: n/a");
  return QStringLiteral("Errors: %1").arg(status.errors.Total());
}

QString LineStatePanes::ErrorToolTip(const LineStatus& status) {
  if (!status.bErrorsCounted) {
    return status.bOpen ? QStringLiteral("This device does not count line errors")
                        : QStringLiteral("Line errors: the port is closed");
  }
  const LineErrors& e = status.errors;
  QString text = QStringLiteral(
                     "Line errors since the port was opened or the screen cleared%1:\n"
                     "Overruns (UART): %2\n"
                     "Overruns (driver buffer): %3\n"
                     "Framing errors: %4\n"
                     "Parity errors: %5\n"
                     "Breaks: %6")
                     .arg(status.bOpen ? QString() : QStringLiteral(" (the port is closed now)"))
                     .arg(e.overrun)
                     .arg(e.bufferOverrun)
                     .arg(e.framing)
                     .arg(e.parity)
                     .arg(e.breaks);
  return text;
}

}  // namespace tarnwick
