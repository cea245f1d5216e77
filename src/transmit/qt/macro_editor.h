// Adds or edits one macro: its name, page, key, repeat period and steps, the
// steps written as lines of the macro file. OK checks them as an imported
// file would be checked and stays open with the reason while they fail.
#pragma once

#include <QDialog>
#include <optional>
#include <span>
#include <string_view>

#include "transmit/macro_form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tarnwick {

class CMacroEditor : public QDialog {
  Q_OBJECT
 public:
  // editing: the macro the form starts from (nothing: a new one, on
  // form.page). The set and the keys must outlive the dialog.
  CMacroEditor(const MacroSet& set, const MacroForm& form, std::optional<MacroPlace> editing,
               std::span<const std::string_view> programKeys, QWidget* parent = nullptr);

  // After Accepted: the macro and the page it goes on.
  const Macro& Result() const { return m_result; }
  std::size_t ResultPage() const { return m_nResultPage; }

  QLineEdit* NameEdit() const { return m_pName; }
  QLineEdit* KeyEdit() const { return m_pKey; }
  QLineEdit* RepeatEdit() const { return m_pRepeat; }
  QPlainTextEdit* StepsEdit() const { return m_pSteps; }
  QLabel* ErrorLabel() const { return m_pError; }

  void accept() override;

 private:
  MacroForm Form() const;

  const MacroSet& m_set;
  std::optional<MacroPlace> m_editing;
  std::span<const std::string_view> m_programKeys;
  QLineEdit* m_pName = nullptr;
  QComboBox* m_pPage = nullptr;
  QLineEdit* m_pKey = nullptr;
  QLineEdit* m_pRepeat = nullptr;
  QPlainTextEdit* m_pSteps = nullptr;
  QLabel* m_pError = nullptr;
  Macro m_result;
  std::size_t m_nResultPage = 0;
};

}  // namespace tarnwick
