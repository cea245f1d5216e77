#include "dialogs/qt/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/qt/dialog_exchange.h"
#include "display/log_rotation.h"
#include "transmit/field_reader.h"

namespace tarnwick {
namespace {

// The pause edit is read as far as its first 63 characters, as the other
// dialogs' integer edits are.
constexpr int kIntegerChars = 63;

QCheckBox* CheckBox(const QString& caption, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
  return box;
}

}  // namespace

COptionsDialog::COptionsDialog(DisplayOptions& options, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), m_pOptions(&options), m_boxes(boxes) {
  setWindowTitle(QStringLiteral("Options"));
  setObjectName(QStringLiteral("optionsDialog"));
  CreateControls();
  OnInitDialog();
}

void COptionsDialog::CreateControls() {
  auto* stamps = new QGroupBox(QStringLiteral("Timestamps"), this);
  m_wndShowTimestamps = CheckBox(QStringLiteral("&Show timestamps"), "showTimestamps", stamps);
  m_wndTimestampsInLog =
      CheckBox(QStringLiteral("Timestamps in &text log"), "timestampsInLog", stamps);
  m_wndDatedTimestamps =
      CheckBox(QStringLiteral("With the &date (ISO 8601)"), "datedTimestamps", stamps);
  auto* stampsLayout = new QVBoxLayout(stamps);
  stampsLayout->addWidget(m_wndShowTimestamps);
  stampsLayout->addWidget(m_wndTimestampsInLog);
  stampsLayout->addWidget(m_wndDatedTimestamps);
  stampsLayout->addStretch(1);

  auto* rotation = new QGroupBox(QStringLiteral("Log files"), this);
  m_wndRotateSize = new QLineEdit(rotation);
  m_wndRotateSize->setObjectName(QStringLiteral("rotateSize"));
  m_wndRotateSize->setMaximumWidth(m_wndRotateSize->fontMetrics().averageCharWidth() * 12 + 16);
  m_wndRotateDaily = CheckBox(QStringLiteral("New file every &midnight"), "rotateDaily", rotation);
  auto* rotationGrid = new QGridLayout(rotation);
  rotationGrid->addWidget(BuddyLabel(QStringLiteral("New &file after"), m_wndRotateSize, rotation),
                          0, 0);
  rotationGrid->addWidget(m_wndRotateSize, 0, 1);
  rotationGrid->addWidget(new QLabel(QStringLiteral("bytes"), rotation), 0, 2);
  rotationGrid->addWidget(
      new QLabel(QStringLiteral("0 = never; K, M or G may follow. Full files become\n"
                                "NAME.1, NAME.2, ... in the order written."),
                 rotation),
      1, 0, 1, 3);
  rotationGrid->addWidget(m_wndRotateDaily, 2, 0, 1, 3);
  rotationGrid->setColumnStretch(3, 1);

  auto* breaks = new QGroupBox(QStringLiteral("Line breaks"), this);
  m_wndPause = new QLineEdit(breaks);
  m_wndPause->setObjectName(QStringLiteral("pauseMs"));
  m_wndPause->setMaximumWidth(m_wndPause->fontMetrics().averageCharWidth() * 9 + 16);
  auto* breaksGrid = new QGridLayout(breaks);
  breaksGrid->addWidget(
      BuddyLabel(QStringLiteral("&New line after a pause of"), m_wndPause, breaks), 0, 0);
  breaksGrid->addWidget(m_wndPause, 0, 1);
  breaksGrid->addWidget(new QLabel(QStringLiteral("ms"), breaks), 0, 2);
  breaksGrid->addWidget(new QLabel(QStringLiteral("0 = off"), breaks), 1, 0, 1, 3);
  breaksGrid->setColumnStretch(3, 1);
  breaksGrid->setRowStretch(2, 1);

  auto* shown = new QGroupBox(QStringLiteral("View"), this);
  m_wndFollow = CheckBox(QStringLiteral("&Follow the newest line"), "followNewLines", shown);
  m_wndTextBeside = CheckBox(QStringLiteral("Te&xt beside units (HEX, BINARY, DEC, FLOAT)"),
                             "textBesideUnits", shown);
  m_wndLineEnds = new QComboBox(shown);
  m_wndLineEnds->setObjectName(QStringLiteral("lineEnds"));
  // In LineEndsMode order.
  m_wndLineEnds->addItem(QStringLiteral("CR"));
  m_wndLineEnds->addItem(QStringLiteral("CR, LF or CR LF"));
  m_wndTextLogLineEnds =
      CheckBox(QStringLiteral("CR LF after each line of the text &log"), "textLogLineEnds", shown);
  auto* shownGrid = new QGridLayout(shown);
  shownGrid->addWidget(m_wndFollow, 0, 0, 1, 2);
  shownGrid->addWidget(m_wndTextBeside, 1, 0, 1, 2);
  shownGrid->addWidget(BuddyLabel(QStringLiteral("TEXT lines &end with"), m_wndLineEnds, shown), 2,
                       0);
  shownGrid->addWidget(m_wndLineEnds, 2, 1);
  shownGrid->addWidget(m_wndTextLogLineEnds, 3, 0, 1, 2);
  shownGrid->setColumnStretch(2, 1);

  m_wndOk = new QPushButton(QStringLiteral("OK"), this);
  m_wndOk->setObjectName(QStringLiteral("ok"));
  m_wndOk->setAccessibleName(QStringLiteral("OK"));
  m_wndOk->setDefault(true);
  m_wndCancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_wndCancel->setObjectName(QStringLiteral("cancel"));
  m_wndCancel->setAccessibleName(QStringLiteral("Cancel"));
  m_wndCancel->setAutoDefault(false);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_wndOk);
  buttons->addWidget(m_wndCancel);
  buttons->addStretch(1);

  auto* grid = new QGridLayout(this);
  grid->addWidget(stamps, 0, 0);
  grid->addWidget(breaks, 1, 0);
  grid->addWidget(rotation, 2, 0);
  grid->addWidget(shown, 3, 0);
  grid->addLayout(buttons, 0, 1, 4, 1);
  m_pGrid = grid;

  QWidget::setTabOrder(m_wndShowTimestamps, m_wndTimestampsInLog);
  QWidget::setTabOrder(m_wndTimestampsInLog, m_wndDatedTimestamps);
  QWidget::setTabOrder(m_wndDatedTimestamps, m_wndPause);
  QWidget::setTabOrder(m_wndPause, m_wndRotateSize);
  QWidget::setTabOrder(m_wndRotateSize, m_wndRotateDaily);
  QWidget::setTabOrder(m_wndRotateDaily, m_wndFollow);
  QWidget::setTabOrder(m_wndFollow, m_wndTextBeside);
  QWidget::setTabOrder(m_wndTextBeside, m_wndLineEnds);
  QWidget::setTabOrder(m_wndLineEnds, m_wndTextLogLineEnds);
  QWidget::setTabOrder(m_wndTextLogLineEnds, m_wndOk);
  QWidget::setTabOrder(m_wndOk, m_wndCancel);

  connect(m_wndOk, &QPushButton::clicked, this, &COptionsDialog::accept);
  connect(m_wndCancel, &QPushButton::clicked, this, &COptionsDialog::reject);
}

void COptionsDialog::AddGroup(QWidget* group) {
  group->setParent(this);
  m_pGrid->addWidget(group, m_pGrid->rowCount(), 0);
  // Its controls, in the order they were made, come after the others.
  QWidget* previous = m_wndTextLogLineEnds;
  for (QWidget* child : group->findChildren<QWidget*>()) {
    if ((child->focusPolicy() & Qt::TabFocus) == 0) continue;
    QWidget::setTabOrder(previous, child);
    previous = child;
  }
  QWidget::setTabOrder(previous, m_wndOk);
}

void COptionsDialog::OnInitDialog() {
  std::int32_t show = m_pOptions->bShowTimestamps ? 1 : 0;
  std::int32_t inLog = m_pOptions->bTimestampsInLog ? 1 : 0;
  ShowCheck(*m_wndShowTimestamps, show);
  ShowCheck(*m_wndTimestampsInLog, inLog);
  ShowInteger(*m_wndPause, m_pOptions->nPauseBreakMs);
  std::int32_t dated = m_pOptions->timestampStyle == TimestampStyle::kDateAndTime ? 1 : 0;
  ShowCheck(*m_wndDatedTimestamps, dated);
  m_wndRotateSize->setText(QString::number(m_pOptions->nRotateBytes));
  std::int32_t daily = m_pOptions->bRotateDaily ? 1 : 0;
  ShowCheck(*m_wndRotateDaily, daily);
  m_wndFollow->setChecked(m_pOptions->bFollowNewLines);
  m_wndTextBeside->setChecked(m_pOptions->bTextBesideUnits);
  m_wndLineEnds->setCurrentIndex(CorrectLineEnds(m_pOptions->nLineEnds));
  m_wndTextLogLineEnds->setChecked(m_pOptions->bTextLogLineEnds);
}

void COptionsDialog::accept() {
  FieldReader reader(m_boxes);
  std::int32_t pause = m_pOptions->nPauseBreakMs;
  if (!ReadInteger(reader, *m_wndPause, pause, kIntegerChars)) return;
  if (pause < 0 || pause > kMaxPauseBreakMs) {
    m_boxes.Show(kPauseOutOfRange, kApplicationTitle, MessageIcon::kWarning);
    m_wndPause->setFocus(Qt::OtherFocusReason);
    m_wndPause->selectAll();
    return;
  }
  const QString sizeText = m_wndRotateSize->text().trimmed();
  const std::optional<std::int64_t> rotateBytes = sizeText == QLatin1String("0")
                                                      ? std::optional<std::int64_t>(0)
                                                      : ParseByteCount(sizeText.toStdString());
  if (!rotateBytes) {
    m_boxes.Show(kRotateSizeInvalid, kApplicationTitle, MessageIcon::kWarning);
    m_wndRotateSize->setFocus(Qt::OtherFocusReason);
    m_wndRotateSize->selectAll();
    return;
  }
  m_pOptions->timestampStyle =
      CheckValue(*m_wndDatedTimestamps) != 0 ? TimestampStyle::kDateAndTime : TimestampStyle::kTime;
  m_pOptions->nRotateBytes = *rotateBytes;
  m_pOptions->bRotateDaily = CheckValue(*m_wndRotateDaily) != 0;
  m_pOptions->bShowTimestamps = CheckValue(*m_wndShowTimestamps) != 0;
  m_pOptions->bTimestampsInLog = CheckValue(*m_wndTimestampsInLog) != 0;
  m_pOptions->nPauseBreakMs = pause;
  m_pOptions->bFollowNewLines = m_wndFollow->isChecked();
  m_pOptions->bTextBesideUnits = m_wndTextBeside->isChecked();
  m_pOptions->nLineEnds = CorrectLineEnds(m_wndLineEnds->currentIndex());
  m_pOptions->bTextLogLineEnds = m_wndTextLogLineEnds->isChecked();
  QDialog::accept();
}

}  // namespace tarnwick
