// The Send data dialog's behaviour without its widgets: start and stop, the
// progress and repetition timers, closing, and which controls are usable.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message_box.h"
#include "transmit/field_reader.h"
#include "transmit/send_interfaces.h"
#include "transmit/transmit_parser.h"

namespace tarnwick {

inline constexpr int kProgressTimer = 101;
inline constexpr int kRepeatTimer = 102;

inline constexpr const char* kSendFilePrefix = "File: ";

// The dialog's fields in the order they are read; a reader's FailedField()
// is one of these.
enum SendField : int {
  kFieldText = 0,
  kFieldPeriodic,
  kFieldSendFile,
  kFieldFormat,
  kFieldReverse,
  kFieldPeriod,
  kFieldUnitIndex,
  kFieldTransmitCount,
};

// The values of the dialog's controls, as the dialog reads them.
struct SendFieldValues {
  std::string text;
  std::int32_t periodic = 0;
  std::int32_t sendFile = 0;
  std::int32_t format = 0;
  std::int32_t reverse = 0;
  std::string period;
  std::int32_t unitIndex = 0;
  std::string transmitCount;
};

class SendController {
 public:
  static constexpr std::int32_t kStopLetsFinishBytes = 1024;
  static constexpr int kMinimumTimerMs = 10;
  static constexpr int kPeriodicProgressMs = 10;
  static constexpr int kSingleProgressMs = 100;

  SendController(MessageBoxes& boxes, TxHandOver& worker, SendForm& form, SendTimers& timers,
                 SendProgress& progress);

  // Controls to members in the dialog's exchange order (text, periodic, file,
  // format, reverse, period, unit length, count); a bad number shows
  // "Enter an integer." and leaves it and the later members as they were.
  // Returns the reader so the dialog can focus the bad field.
  FieldReader ExchangeFromControls(const SendFieldValues& values);

  void OnInitDialog();
  void OnOK();  // button 1: start when idle, stop when active
  void OnTimer(int id);
  void OnClose();  // close box and Esc; the window goes, the members stay
  void OnOptionClicked();
  void OnBrowseChosen(const std::string& path);
  SendControls UpdateControls();
  // The text member is "File: " and the file's path, as "Send File" shows it:
  // the path part is the file system's bytes, not display text.
  bool TextShowsFilePath() const;

  TransmitParser& Parser() { return m_parser; }
  const TransmitParser& Parser() const { return m_parser; }

  std::int32_t m_bActive = 0;
  std::int32_t m_bPeriodic = 0;
  std::int32_t m_nPeriod = 0;
  std::int32_t m_nTransmitCount = -1;

 private:
  void Start();
  void Stop();
  void OnProgressTick();
  void OnRepeatTick();
  bool HandOverWhenFree();
  void KillTimers();

  MessageBoxes& m_boxes;
  TxHandOver& m_worker;
  SendForm& m_form;
  SendTimers& m_timers;
  SendProgress& m_progress;
  TransmitParser m_parser;
  // The run keeps the mode it was started in; ticking "Send periodically"
  // during a send only relabels the button.
  bool m_bRunPeriodic = false;
  // A start while the worker still drains an earlier block: the new block
  // waits until the worker lets go of the old one.
  bool m_bHandOverPending = false;
  // The text typed before Send File was ticked, given back when it is
  // unticked.
  std::string m_strHeldText;
  bool m_bTextHeld = false;
};

}  // namespace tarnwick
