#include "transmit/qt/macro_editor.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarnwick {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

constexpr const char* kStepsHint =
    "One step a line:\n"
    "  send ASCII CR = ATZ        (ASCII, HEX, BIN, DEC or FLOAT; CR, LF, CRLF after ASCII)\n"
    "  wait = 500 ms\n"
    "  wait-for 3 s = OK          (add \"continue\" after the time to go on when it times out)\n"
    "  wait-for-regex 2 s = ^READY$";

}  // namespace

CMacroEditor::CMacroEditor(const MacroSet& set, const MacroForm& form,
                           std::optional<MacroPlace> editing,
                           std::span<const std::string_view> programKeys, QWidget* parent)
    : QDialog(parent), m_set(set), m_editing(editing), m_programKeys(programKeys) {
  setObjectName(QStringLiteral("macroEditor"));
  setWindowTitle(editing ? QStringLiteral("Edit Macro") : QStringLiteral("Add Macro"));
  m_pName = new QLineEdit(FromUtf8(form.name), this);
  m_pName->setObjectName(QStringLiteral("macroName"));
  m_pPage = new QComboBox(this);
  m_pPage->setObjectName(QStringLiteral("macroPage"));
  for (const MacroPage& page : set.pages) m_pPage->addItem(FromUtf8(page.name));
  m_pPage->setCurrentIndex(static_cast<int>(form.page));
  m_pKey = new QLineEdit(FromUtf8(form.key), this);
  m_pKey->setObjectName(QStringLiteral("macroKey"));
  m_pKey->setPlaceholderText(QStringLiteral("none, or F1 to F12 with Ctrl, Alt, Shift"));
  m_pRepeat = new QLineEdit(FromUtf8(form.repeat), this);
  m_pRepeat->setObjectName(QStringLiteral("macroRepeat"));
  m_pRepeat->setPlaceholderText(QStringLiteral("once, or a period such as 500 ms or 2 s"));
  m_pSteps = new QPlainTextEdit(FromUtf8(form.steps), this);
  m_pSteps->setObjectName(QStringLiteral("macroSteps"));
  m_pSteps->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_pSteps->setTabChangesFocus(true);
  m_pSteps->setMinimumSize(520, 140);
  auto* hint = new QLabel(QString::fromLatin1(kStepsHint), this);
  hint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pError = new QLabel(this);
  m_pError->setObjectName(QStringLiteral("macroError"));
  m_pError->setStyleSheet(QStringLiteral("color: #b00020;"));
  m_pError->setWordWrap(true);
  m_pError->hide();

  auto* fields = new QFormLayout;
  const auto add = [&](const QString& label, QWidget* field) {
    fields->addRow(label, field);
    field->setAccessibleName(QString(label).remove(QLatin1Char('&')));
  };
  add(QStringLiteral("&Name"), m_pName);
  add(QStringLiteral("&Page"), m_pPage);
  add(QStringLiteral("&Key"), m_pKey);
  add(QStringLiteral("&Repeat every"), m_pRepeat);
  add(QStringLiteral("&Steps"), m_pSteps);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  for (QAbstractButton* button : buttons->buttons())
    button->setAccessibleName(button->text().remove(QLatin1Char('&')));
  connect(buttons, &QDialogButtonBox::accepted, this, &CMacroEditor::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(hint);
  layout->addWidget(m_pError);
  layout->addWidget(buttons);
}

MacroForm CMacroEditor::Form() const {
  MacroForm form;
  form.name = m_pName->text().trimmed().toStdString();
  form.key = m_pKey->text().trimmed().toStdString();
  form.repeat = m_pRepeat->text().trimmed().toStdString();
  form.steps = m_pSteps->toPlainText().toStdString();
  form.page = static_cast<std::size_t>(std::max(m_pPage->currentIndex(), 0));
  return form;
}

void CMacroEditor::accept() {
  const MacroForm form = Form();
  const MacroFormRead read = ReadMacroForm(form, m_set, m_editing, m_programKeys);
  if (!read.macro) {
    m_pError->setText(FromUtf8(read.error));
    m_pError->show();
    return;
  }
  m_result = *read.macro;
  m_nResultPage = form.page;
  QDialog::accept();
}

}  // namespace tarnwick
