#include "dialogs/qt/dialog_exchange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "display/view/ansi_text.h"

namespace tarnwick {

void ShowListIndex(QComboBox& list, std::int32_t index) {
  list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}

std::int32_t ListIndex(const QComboBox& list) { return list.currentIndex(); }

void ShowCheck(QAbstractButton& box, std::int32_t& field) {
  if (field < 0 || field > 2) field = 0;
  box.setChecked(field == 1);
}

std::int32_t CheckValue(const QAbstractButton& box) { return box.isChecked() ? 1 : 0; }

void ShowInteger(QLineEdit& edit, std::int32_t value) { edit.setText(QString::number(value)); }

bool ReadInteger(FieldReader& reader, QLineEdit& edit, std::int32_t& member, int maxChars) {
  const QString text = maxChars >= 0 ? edit.text().left(maxChars) : edit.text();
  if (reader.Integer(QStringToAnsi(text), member)) return true;
  if (reader.FailedField() == reader.FieldCount() - 1) {
    edit.setFocus(Qt::OtherFocusReason);
    edit.selectAll();
  }
  return false;
}

QLabel* BuddyLabel(const QString& text, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(field);
  QString name = text;
  name.remove(QLatin1Char('&'));
  if (name.endsWith(QLatin1Char(':'))) name.chop(1);
  field->setAccessibleName(name);
  return label;
}

}  // namespace tarnwick
