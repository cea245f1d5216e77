// Moving values between a dialog's controls and the record, as every dialog
// of the program does it: lists by position, check boxes by state, integer
// edits read as "%d" reads them.
#pragma once

#include <cstdint>

#include "transmit/field_reader.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QString;
class QWidget;

namespace tarnwick {

// Selects the item at index; an index outside the list leaves no selection.
void ShowListIndex(QComboBox& list, std::int32_t index);
// The selected position, -1 when nothing is selected.
std::int32_t ListIndex(const QComboBox& list);

// Checks the box when field is 1. A field outside 0..2 is reset to 0 first.
void ShowCheck(QAbstractButton& box, std::int32_t& field);
// 1 when checked, 0 when not.
std::int32_t CheckValue(const QAbstractButton& box);

// Shows an integer in decimal.
void ShowInteger(QLineEdit& edit, std::int32_t value);
// Reads the first maxChars characters of the edit as "%d" does, through
// reader (which stops at the first bad field and shows "Enter an integer.").
// A bad field gets the focus with its text selected.
bool ReadInteger(FieldReader& reader, QLineEdit& edit, std::int32_t& member, int maxChars = -1);

// A label for field: its buddy (so its mnemonic moves there), and the text
// without '&' or a closing ':' as the field's accessible name.
QLabel* BuddyLabel(const QString& text, QWidget* field, QWidget* parent);

}  // namespace tarnwick
