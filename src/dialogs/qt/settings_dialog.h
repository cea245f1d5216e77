// The modal "Screen Settings" dialog: grid size, font and colours, unit
// format, the delimiter and the text log, edited in the record in place.
// Rows, Columns, the lists, the check boxes and the delimiter are taken on
// OK only; the Font, Color and "Save to file: " handlers write the record at
// once, and what they wrote stays whatever the dialog's end.
#pragma once

#include <QDialog>
#include <QString>

#include "dialogs/qt/dialog_services.h"
#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class MultiLineCheckBox;

class CSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  CSettingsDialog(SETTINGS& settings, DialogServices services, QWidget* parent = nullptr);

  // OK: takes the controls into the record; stays open on a bad integer.
  void accept() override;

  QLineEdit* RowsEdit() const { return m_wndRows; }
  QLineEdit* ColumnsEdit() const { return m_wndColumns; }
  QLineEdit* DelimiterEdit() const { return m_wndDelimiter; }
  QPushButton* FontButton() const { return m_wndFont; }
  QPushButton* ColorButton() const { return m_wndColor; }
  QComboBox* LengthList() const { return m_wndLength; }
  QComboBox* FormatList() const { return m_wndFormat; }
  QCheckBox* ReverseBox() const { return m_wndReverse; }
  MultiLineCheckBox* SaveToFileBox() const { return m_wndSaveToFile; }
  QPushButton* OkButton() const { return m_wndOk; }
  QPushButton* CancelButton() const { return m_wndCancel; }

 private:
  void CreateControls();
  void OnInitDialog();
  // Controls to record in the exchange order; false at the first bad integer.
  bool SaveControls();
  void OnFont();
  void OnColor();
  void OnSaveToFile();
  void ShowSaveToFile();

  SETTINGS* m_pSettings;
  DialogServices m_services;
  QString m_strDelimiter;

  QLineEdit* m_wndRows = nullptr;
  QLineEdit* m_wndColumns = nullptr;
  QPushButton* m_wndFont = nullptr;
  QPushButton* m_wndColor = nullptr;
  QLineEdit* m_wndDelimiter = nullptr;
  QComboBox* m_wndLength = nullptr;
  QComboBox* m_wndFormat = nullptr;
  QCheckBox* m_wndReverse = nullptr;
  MultiLineCheckBox* m_wndSaveToFile = nullptr;
  QPushButton* m_wndOk = nullptr;
  QPushButton* m_wndCancel = nullptr;
};

}  // namespace tarnwick
