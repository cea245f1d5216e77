// The "Send data" window: a modeless top-level dialog over the send state
// machine. It is the machine's form (the controls), its window timers and its
// progress bar; the parser and the hand-over to the port worker live in the
// plain classes.
#pragma once

#include <QDialog>
#include <map>
#include <memory>
#include <string>

#include "platform/message_box.h"
#include "transmit/send_controller.h"
#include "transmit/send_interfaces.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tarnwick {

class FileChooser;

class CSendDialog : public QDialog, private SendForm, private SendTimers, private SendProgress {
  Q_OBJECT
 public:
  // boxes: the messages of the send, the parse and the field reading;
  // worker: where blocks are handed over. No parent: a window of its own.
  CSendDialog(MessageBoxes& boxes, TxHandOver& worker, QWidget* parent = nullptr);
  ~CSendDialog() override;

  // The Send command: a closed (or never shown) window is created anew from
  // the members; an open one is shown in its normal state, also when
  // minimised, and raised.
  void ShowWindow();

  // Puts the window to the right of window when the screen has room there,
  // else against the screen's right edge, top-aligned with it.
  void PlaceBeside(const QWidget& window);

  // The "..." button asks this chooser; Qt's file dialog unless set.
  void SetFileChooser(FileChooser& chooser) { m_pChooser = &chooser; }

  SendController& Controller() { return m_controller; }
  const SendController& Controller() const { return m_controller; }

 protected:
  // Esc and the close box: OnClose, then the window goes; the object, its
  // members and its blocks stay.
  void reject() override;

 private slots:
  void OnOK();
  void OnOptionClicked();
  void OnBrowse();
  void OnTextContentsChange(int from, int removed, int added);

 private:
  void CreateControls();
  void OnInitDialog();
  void FocusField(int field);
  // The text box as the parser's bytes; read again only after an edit.
  const std::string& TextBoxBytes();
  void ShowText();

  // SendForm
  void ReadControls() override;
  void ShowMembers() override;
  void ApplyControls(const SendControls& controls) override;
  // SendTimers
  void StartTimer(int id, int periodMs) override;
  void KillTimer(int id) override;
  // SendProgress
  void SetProgressRange(std::int32_t lower, std::int32_t upper) override;
  void SetProgressPos(std::int32_t pos) override;

  SendController m_controller;
  std::unique_ptr<FileChooser> m_pOwnChooser;
  FileChooser* m_pChooser;
  std::map<int, QTimer*> m_timers;
  // What the text box holds, as bytes; stale once its text changes.
  std::string m_strBoxBytes;
  bool m_bBoxEdited = true;

  QPushButton* m_wndSend = nullptr;         // 1
  QPlainTextEdit* m_wndText = nullptr;      // 1007
  QProgressBar* m_wndProgress = nullptr;    // 1011
  QComboBox* m_wndFormat = nullptr;         // 1020
  QCheckBox* m_wndPeriodic = nullptr;       // 1021
  QLineEdit* m_wndPeriod = nullptr;         // 1016
  QCheckBox* m_wndSendFile = nullptr;       // 1022
  QPushButton* m_wndBrowse = nullptr;       // 3
  QCheckBox* m_wndReverse = nullptr;        // 1023
  QComboBox* m_wndLength = nullptr;         // 1024
  QLineEdit* m_wndTransmitCount = nullptr;  // 1015
};

}  // namespace tarnwick
