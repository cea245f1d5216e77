// The modal "Port Settings" dialog: the line settings and the raw capture
// file, edited in the settings record itself. OK stores every control into
// the record; Cancel stores nothing, but what the "Save to file: " click
// wrote stays.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/com_port_info.h"
#include "platform/message_box.h"
#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class FileChooser;
class MultiLineCheckBox;

class CStarDialog : public QDialog {
  Q_OBJECT
 public:
  // settings: the record to edit (not owned, never null). chooser answers the
  // "Save to file: " click and boxes shows its refusals. recordWritten runs
  // after every write into the record, so its owner can hand it on at once.
  CStarDialog(SETTINGS* settings, FileChooser& chooser, MessageBoxes& boxes,
              std::function<void()> recordWritten = {}, QWidget* parent = nullptr);

  // Record to controls (false) or controls to record (true), in the order
  // port, baud rate, data bits, stop bits, parity, Use DSR, DSR Sensitivity,
  // Use CTS, DTR, RTS, Save to file.
  void DoDataExchange(bool saveAndValidate);

  // OnOK: every control into the record, then the dialog ends with OK. The
  // Device field and a typed baud rate go to the profile (Ports/COMn,
  // Ports/COMnBaud); a malformed one is refused with a box and nothing is
  // stored.
  void accept() override;

  // Adds "Also listen on": a second port, receive only, kept outside the
  // record. OK writes the choice ("COMn", or empty for none) to *portName,
  // which must outlive the dialog.
  void AddAlsoListenOn(std::string* portName);
  QComboBox* AlsoListenOnList() const { return m_pAlsoListenOn; }

 private:
  void CreateControls();
  void OnInitDialog();
  void FillPortList();
  void OnSaveToFile();
  void SetSaveToFileCaption();
  void ShowPortDevice(int index);
  void ShowPortInfo(int index, ComPortInfo info);
  static ComPortInfo DescribeTypedDevice(int com, const QString& text);
  bool CheckTypedFields();
  void SaveProfileFields();
  void NoteRecordWritten();

  SETTINGS* m_pSettings;
  FileChooser& m_chooser;
  MessageBoxes& m_boxes;
  std::function<void()> m_recordWritten;
  std::vector<ComPortInfo> m_ports;

  QComboBox* m_pPort = nullptr;
  QComboBox* m_pBaudRate = nullptr;
  QComboBox* m_pParity = nullptr;
  QComboBox* m_pDataBits = nullptr;
  QComboBox* m_pStopBits = nullptr;
  QComboBox* m_pDtr = nullptr;
  QComboBox* m_pRts = nullptr;
  QCheckBox* m_pUseCts = nullptr;
  QCheckBox* m_pUseDsr = nullptr;
  QCheckBox* m_pDsrSensitivity = nullptr;
  MultiLineCheckBox* m_pSaveToFile = nullptr;
  QLabel* m_pPortDevice = nullptr;
  QLineEdit* m_pDevice = nullptr;
  QLabel* m_pDeviceNote = nullptr;
  // Device fields edited in this dialog, by COM number; stored on OK.
  std::map<int, QString> m_deviceEdits;
  int m_nShownCom = 0;
  QPushButton* m_pOk = nullptr;
  QPushButton* m_pCancel = nullptr;
  QComboBox* m_pAlsoListenOn = nullptr;
  std::string* m_pAlsoListenOnName = nullptr;
};

}  // namespace tarnwick
