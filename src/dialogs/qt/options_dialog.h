// The modal "Options" dialog: the display options that live in the profile
// (arrival times on the screen and in the text log, with or without the
// date, a new line after a pause, when the logs start a new file, following
// the newest line, text beside units, line ends). Edits a
// copy; the options are written on OK only.
#pragma once

#include <QDialog>

#include "platform/message_box.h"
#include "settings/display_options.h"

class QCheckBox;
class QGridLayout;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

inline constexpr const char* kPauseOutOfRange = "Enter a pause from 0 to 86400000 ms.";
static_assert(kMaxPauseBreakMs == 86'400'000, "the message names the limit");
inline constexpr const char* kRotateSizeInvalid =
    "Enter a file size in bytes (K, M or G may follow), or 0 for no limit.";

class COptionsDialog : public QDialog {
  Q_OBJECT
 public:
  COptionsDialog(DisplayOptions& options, MessageBoxes& boxes, QWidget* parent = nullptr);

  // OK: takes the controls into the options; stays open on a bad pause.
  void accept() override;

  // Another group of options below the others (the program's own groups
  // that keep their options elsewhere); its owner reads it after OK.
  void AddGroup(QWidget* group);

  QCheckBox* ShowTimestampsBox() const { return m_wndShowTimestamps; }
  QCheckBox* TimestampsInLogBox() const { return m_wndTimestampsInLog; }
  QLineEdit* PauseEdit() const { return m_wndPause; }
  QCheckBox* DatedTimestampsBox() const { return m_wndDatedTimestamps; }
  QLineEdit* RotateSizeEdit() const { return m_wndRotateSize; }
  QCheckBox* RotateDailyBox() const { return m_wndRotateDaily; }
  QCheckBox* FollowBox() const { return m_wndFollow; }
  QCheckBox* TextBesideUnitsBox() const { return m_wndTextBeside; }
  QComboBox* LineEndsList() const { return m_wndLineEnds; }
  QCheckBox* TextLogLineEndsBox() const { return m_wndTextLogLineEnds; }
  QPushButton* OkButton() const { return m_wndOk; }
  QPushButton* CancelButton() const { return m_wndCancel; }

 private:
  void CreateControls();
  void OnInitDialog();

  DisplayOptions* m_pOptions;
  MessageBoxes& m_boxes;

  QCheckBox* m_wndShowTimestamps = nullptr;
  QCheckBox* m_wndTimestampsInLog = nullptr;
  QLineEdit* m_wndPause = nullptr;
  QCheckBox* m_wndDatedTimestamps = nullptr;
  QLineEdit* m_wndRotateSize = nullptr;
  QCheckBox* m_wndRotateDaily = nullptr;
  QCheckBox* m_wndFollow = nullptr;
  QCheckBox* m_wndTextBeside = nullptr;
  QComboBox* m_wndLineEnds = nullptr;
  QCheckBox* m_wndTextLogLineEnds = nullptr;
  QPushButton* m_wndOk = nullptr;
  QPushButton* m_wndCancel = nullptr;
  QGridLayout* m_pGrid = nullptr;
};

}  // namespace tarnwick
