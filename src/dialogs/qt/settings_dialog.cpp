#include "dialogs/qt/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "dialogs/delimiter_text.h"
#include "dialogs/qt/dialog_exchange.h"
#include "dialogs/qt/multi_line_check_box.h"
#include "dialogs/save_to_file.h"
#include "display/unit_settings.h"
#include "display/view/ansi_text.h"
#include "display/view/logfont_mapping.h"
#include "transmit/field_reader.h"

namespace tarnwick {
namespace {

// The integer edits are read as far as the first 63 characters.
constexpr int kIntegerChars = 63;
// The background chooser starts here, not at the current background.
constexpr COLORREF kColorChooserStart = 0x000000;

constexpr int DecimalDigits(std::int32_t value) {
  int digits = 1;
  for (; value >= 10; value /= 10) ++digits;
  return digits;
}

// Wide enough for columns digits whatever the style's frame and margins:
// digits are wider than a font's average character, and a box too narrow
// scrolls "5000" to "000".
QLineEdit* SmallEdit(const char* name, QWidget* parent, int columns) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
  const QMargins text = edit->textMargins() + edit->contentsMargins();
  // QLineEdit keeps 2 pixels on either side of the text, and the cursor.
  constexpr int kInnerMargins = 2 * 2 + 1;
  const int contents = edit->fontMetrics().horizontalAdvance(QString(columns, QLatin1Char('0'))) +
                       text.left() + text.right() + kInnerMargins;
  const QSize size = edit->style()->sizeFromContents(
      QStyle::CT_LineEdit, &option, QSize(contents, edit->sizeHint().height()), edit);
  edit->setMinimumWidth(size.width());
  edit->setMaximumWidth(size.width());
  return edit;
}

QPushButton* Button(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(caption);
  button->setAutoDefault(false);
  return button;
}

QComboBox* List(const QStringList& items, const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(items);
  return list;
}

}  // namespace

CSettingsDialog::CSettingsDialog(SETTINGS& settings, DialogServices services, QWidget* parent)
    : QDialog(parent), m_pSettings(&settings), m_services(std::move(services)) {
  setWindowTitle(QStringLiteral("Screen Settings"));
  setObjectName(QStringLiteral("screenSettingsDialog"));
  CreateControls();
  OnInitDialog();
}

void CSettingsDialog::CreateControls() {
  auto* screen = new QGroupBox(QStringLiteral("Screen"), this);
  // Rows is as wide as the most lines the screen keeps.
  m_wndRows = SmallEdit("rows", screen, DecimalDigits(kMaxDisplayRows));
  m_wndColumns = SmallEdit("columns", screen, 5);
  m_wndFont = Button(QStringLiteral("Font"), "font", screen);
  m_wndColor = Button(QStringLiteral("Color"), "color", screen);
  m_wndDelimiter = SmallEdit("delimiter", screen, 4);
  auto* screenGrid = new QGridLayout(screen);
  screenGrid->addWidget(BuddyLabel(QStringLiteral("Rows"), m_wndRows, screen), 0, 0);
  screenGrid->addWidget(m_wndRows, 0, 1);
  screenGrid->addWidget(m_wndFont, 0, 2);
  screenGrid->addWidget(BuddyLabel(QStringLiteral("Columns"), m_wndColumns, screen), 1, 0);
  screenGrid->addWidget(m_wndColumns, 1, 1);
  screenGrid->addWidget(m_wndColor, 1, 2);
  screenGrid->addWidget(BuddyLabel(QStringLiteral("Delimiter"), m_wndDelimiter, screen), 2, 0);
  screenGrid->addWidget(m_wndDelimiter, 2, 1);
  screenGrid->setRowStretch(3, 1);

  auto* unit = new QGroupBox(QStringLiteral("Unit format"), this);
  m_wndLength = List({"1", "2", "3", "4"}, "length", unit);
  m_wndFormat = List({"TEXT", "HEX", "BINARY", "DEC", "FLOAT"}, "format", unit);
  m_wndReverse = new QCheckBox(QStringLiteral("Reverse bytes"), unit);
  m_wndReverse->setObjectName(QStringLiteral("reverseBytes"));
  m_wndReverse->setAccessibleName(m_wndReverse->text());
  auto* unitGrid = new QGridLayout(unit);
  unitGrid->addWidget(BuddyLabel(QStringLiteral("Length"), m_wndLength, unit), 0, 0);
  unitGrid->addWidget(m_wndLength, 0, 1);
  unitGrid->addWidget(new QLabel(QStringLiteral("bytes"), unit), 0, 2);
  unitGrid->addWidget(BuddyLabel(QStringLiteral("Format"), m_wndFormat, unit), 1, 0);
  unitGrid->addWidget(m_wndFormat, 1, 1, 1, 2, Qt::AlignLeft);
  unitGrid->addWidget(m_wndReverse, 2, 0, 1, 3);
  unitGrid->setRowStretch(3, 1);

  m_wndOk = new QPushButton(QStringLiteral("OK"), this);
  m_wndOk->setObjectName(QStringLiteral("ok"));
  m_wndOk->setAccessibleName(QStringLiteral("OK"));
  m_wndOk->setDefault(true);
  m_wndCancel = Button(QStringLiteral("Cancel"), "cancel", this);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_wndOk);
  buttons->addWidget(m_wndCancel);
  buttons->addStretch(1);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Sunken);
  m_wndSaveToFile = new MultiLineCheckBox(frame);
  m_wndSaveToFile->setObjectName(QStringLiteral("saveToFile"));
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->addWidget(m_wndSaveToFile);

  auto* grid = new QGridLayout(this);
  grid->addWidget(screen, 0, 0);
  grid->addWidget(unit, 0, 1);
  grid->addLayout(buttons, 0, 2);
  grid->addWidget(frame, 1, 0, 1, 3);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  // The template's order.
  QWidget* const order[] = {m_wndRows,       m_wndColumns, m_wndFont,   m_wndColor,
                            m_wndDelimiter,  m_wndLength,  m_wndFormat, m_wndReverse,
                            m_wndSaveToFile, m_wndOk,      m_wndCancel};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }

  connect(m_wndFont, &QPushButton::clicked, this, &CSettingsDialog::OnFont);
  connect(m_wndColor, &QPushButton::clicked, this, &CSettingsDialog::OnColor);
  connect(m_wndSaveToFile, &QCheckBox::clicked, this, &CSettingsDialog::OnSaveToFile);
  connect(m_wndOk, &QPushButton::clicked, this, &CSettingsDialog::accept);
  connect(m_wndCancel, &QPushButton::clicked, this, &CSettingsDialog::reject);
}

void CSettingsDialog::OnInitDialog() {
  SETTINGS& s = *m_pSettings;
  ShowInteger(*m_wndColumns, s.nColumns);
  ShowInteger(*m_wndRows, s.nRows);
  ShowListIndex(*m_wndFormat, s.nUnitFormatIndex);
  ShowCheck(*m_wndReverse, s.bReverseBytes);
  ShowListIndex(*m_wndLength, s.nUnitLengthIndex);
  ShowSaveToFile();
  m_strDelimiter = AnsiToQString(DelimiterText(s.chDelimiter));
  m_wndDelimiter->setText(m_strDelimiter);
}

bool CSettingsDialog::SaveControls() {
  SETTINGS& s = *m_pSettings;
  FieldReader reader(m_services.boxes);
  ReadInteger(reader, *m_wndColumns, s.nColumns, kIntegerChars);
  ReadInteger(reader, *m_wndRows, s.nRows, kIntegerChars);
  reader.Value(ListIndex(*m_wndFormat), s.nUnitFormatIndex);
  reader.Value(CheckValue(*m_wndReverse), s.bReverseBytes);
  reader.Value(ListIndex(*m_wndLength), s.nUnitLengthIndex);
  reader.Value(CheckValue(*m_wndSaveToFile), s.bSaveText);
  reader.Value(m_wndDelimiter->text(), m_strDelimiter);
  return !reader.Failed();
}

void CSettingsDialog::accept() {
  const bool saved = SaveControls();
  // After a bad integer m_strDelimiter still holds the text shown at the
  // start, which gives the same byte back.
  m_pSettings->chDelimiter = DelimiterFromText(QStringToAnsi(m_strDelimiter));
  if (saved) QDialog::accept();
}

void CSettingsDialog::OnFont() {
  SETTINGS& s = *m_pSettings;
  if (const std::optional<FontChoice> chosen = m_services.fonts.ChooseFont(
          this, FontFromLogFont(s.lfFont), ColorFromColorRef(s.crText))) {
    s.lfFont = LogFontFromFont(chosen->font, s.lfFont);
    s.crText = ColorRefFromColor(chosen->color);
  }
  // The view is drawn again with the current font in any case.
  m_services.recordChanged();
}

void CSettingsDialog::OnColor() {
  const std::optional<QColor> chosen =
      m_services.colors.ChooseColor(this, ColorFromColorRef(kColorChooserStart));
  if (!chosen) return;
  m_pSettings->crBackground = ColorRefFromColor(*chosen);
  m_services.recordChanged();
}

void CSettingsDialog::OnSaveToFile() {
  SETTINGS& s = *m_pSettings;
  const SaveToFileOutcome outcome = ToggleSaveToFile(
      s.bSaveText, s.szTextFile, LogChooserFor(m_services.files, this), m_services.boxes);
  // The click has toggled the mark; it shows the flag again whatever came of it.
  ShowSaveToFile();
  if (outcome == SaveToFileOutcome::kLoggingOff || outcome == SaveToFileOutcome::kLoggingOn) {
    m_services.recordChanged();
  }
}

void CSettingsDialog::ShowSaveToFile() {
  ShowCheck(*m_wndSaveToFile, m_pSettings->bSaveText);
  const std::string caption = SaveToFileCaption(m_pSettings->szTextFile);
  m_wndSaveToFile->SetCaption(QFile::decodeName(QByteArray::fromStdString(caption)));
}

}  // namespace tarnwick
