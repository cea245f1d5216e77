#include "dialogs/qt/options_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/qt/dialog_exchange.h"
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
  auto* stampsLayout = new QVBoxLayout(stamps);
  stampsLayout->addWidget(m_wndShowTimestamps);
  stampsLayout->addWidget(m_wndTimestampsInLog);
  stampsLayout->addStretch(1);

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
  grid->addLayout(buttons, 0, 1, 2, 1);
  m_pGrid = grid;

  QWidget::setTabOrder(m_wndShowTimestamps, m_wndTimestampsInLog);
  QWidget::setTabOrder(m_wndTimestampsInLog, m_wndPause);
  QWidget::setTabOrder(m_wndPause, m_wndOk);
  QWidget::setTabOrder(m_wndOk, m_wndCancel);

  connect(m_wndOk, &QPushButton::clicked, this, &COptionsDialog::accept);
  connect(m_wndCancel, &QPushButton::clicked, this, &COptionsDialog::reject);
}

void COptionsDialog::AddGroup(QWidget* group) {
  group->setParent(this);
  m_pGrid->addWidget(group, m_pGrid->rowCount(), 0);
  // Its controls, in the order they were made, come after the others.
  QWidget* previous = m_wndPause;
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
  m_pOptions->bShowTimestamps = CheckValue(*m_wndShowTimestamps) != 0;
  m_pOptions->bTimestampsInLog = CheckValue(*m_wndTimestampsInLog) != 0;
  m_pOptions->nPauseBreakMs = pause;
  QDialog::accept();
}

}  // namespace tarnwick
