#include "transmit/send_controller.h"

#include <limits>
#include <string_view>
#include <utility>

namespace tarnwick {
namespace {

constexpr const char* kNoDataText = "No data to send !";
constexpr const char* kNoDataCaption = "SEND";

// Button 1's label by [periodic][active].
constexpr const char* kButtonLabels[2][2] = {{"SEND", "ABORT"}, {"START", "STOP"}};

// Window timers run no faster than every 10 ms; a negative period is taken as
// that minimum too rather than as an endless wait.
int TimerPeriod(std::int32_t periodMs) {
  return periodMs < SendController::kMinimumTimerMs ? SendController::kMinimumTimerMs : periodMs;
}

}  // namespace

SendController::SendController(MessageBoxes& boxes, TxHandOver& worker, SendForm& form,
                               SendTimers& timers, SendProgress& progress)
    : m_boxes(boxes),
      m_worker(worker),
      m_form(form),
      m_timers(timers),
      m_progress(progress),
      m_parser(boxes) {
  m_parser.SetShowMembers([this] { m_form.ShowMembers(); });
}

FieldReader SendController::ExchangeFromControls(const SendFieldValues& values) {
  FieldReader reader(m_boxes);
  reader.Value(values.text, m_parser.m_strText);
  reader.Value(values.periodic, m_bPeriodic);
  reader.Value(values.sendFile, m_parser.m_bSendFile);
  reader.Value(values.format, m_parser.m_nFormat);
  reader.Value(values.reverse, m_parser.m_bReverse);
  reader.Integer(values.period, m_nPeriod);
  reader.Value(values.unitIndex, m_parser.m_nUnitIndex);
  reader.Integer(values.transmitCount, m_nTransmitCount);
  return reader;
}

void SendController::OnInitDialog() {
  m_form.ShowMembers();
  UpdateControls();
  m_form.ShowMembers();
}

SendControls SendController::UpdateControls() {
  SendControls controls;
  const bool sendFile = m_parser.m_bSendFile != 0;
  controls.textEnabled = !sendFile;
  controls.browseEnabled = sendFile;
  if (sendFile) {
    // What was typed waits behind the file's line until Send File goes off.
    if (!m_bTextHeld) m_strHeldText = m_parser.m_strText;
    m_bTextHeld = true;
    m_parser.m_strText = kSendFilePrefix + m_parser.m_strFilePath;
    m_form.ShowMembers();
  } else if (std::exchange(m_bTextHeld, false) &&
             m_parser.m_strText == kSendFilePrefix + m_parser.m_strFilePath) {
    // The file's line is a label, never data to send.
    m_parser.m_strText = std::move(m_strHeldText);
    m_form.ShowMembers();
  }
  controls.periodEnabled = m_bPeriodic != 0;
  controls.buttonLabel = kButtonLabels[m_bPeriodic != 0][m_bActive != 0];
  m_form.ApplyControls(controls);
  return controls;
}

bool SendController::TextShowsFilePath() const {
  const std::string& text = m_parser.m_strText;
  const std::string_view prefix = kSendFilePrefix;
  return m_parser.m_bSendFile != 0 &&
         text.size() == prefix.size() + m_parser.m_strFilePath.size() &&
         text.compare(0, prefix.size(), prefix) == 0 &&
         text.compare(prefix.size(), std::string::npos, m_parser.m_strFilePath) == 0;
}

void SendController::OnOptionClicked() {
  m_form.ReadControls();
  UpdateControls();
}

void SendController::OnBrowseChosen(const std::string& path) {
  m_parser.m_strFilePath = path;
  m_parser.m_strText = kSendFilePrefix + path;
  m_form.ShowMembers();
}

void SendController::OnOK() {
  if (m_bActive)
    Stop();
  else
    Start();
}

void SendController::Start() {
  m_form.ReadControls();
  // Two blocks, used in turn: when the worker is still draining the block of
  // an earlier run (a STOP lets up to 1024 bytes finish), the parse fills the
  // other one, so the bytes in flight are never reallocated or overwritten.
  const std::uint8_t* inFlight = m_worker.TxBuffer();
  if (inFlight != nullptr && inFlight == m_parser.m_pBuffer) m_parser.SwapBlocks();
  if (!m_parser.ParseInput()) return;
  if (m_parser.m_nDataLength == 0) {
    m_boxes.Show(kNoDataText, kNoDataCaption, MessageIcon::kError);
    return;
  }
  m_progress.SetProgressRange(0, m_parser.m_nDataLength);
  m_progress.SetProgressPos(0);
  m_bActive = 1;
  m_bRunPeriodic = m_bPeriodic != 0;
  if (m_bRunPeriodic) {
    m_timers.StartTimer(kProgressTimer, kPeriodicProgressMs);
    m_timers.StartTimer(kRepeatTimer, TimerPeriod(m_nPeriod));
  } else {
    m_timers.StartTimer(kProgressTimer, kSingleProgressMs);
  }
  if (m_nTransmitCount > std::numeric_limits<std::int32_t>::min()) --m_nTransmitCount;
  m_bHandOverPending = true;
  HandOverWhenFree();
  UpdateControls();
}

// Hands the parsed block to the worker once it holds no other block; the
// length and position are written only then, so a block still draining is
// never given the new block's length.
bool SendController::HandOverWhenFree() {
  if (!m_bHandOverPending) return true;
  if (m_worker.TxBuffer() != nullptr) return false;
  m_worker.HandOver(m_parser.m_pBuffer, m_parser.m_nDataLength);
  m_bHandOverPending = false;
  return true;
}

void SendController::KillTimers() {
  m_timers.KillTimer(kProgressTimer);
  m_timers.KillTimer(kRepeatTimer);
}

void SendController::Stop() {
  // Both timers go, whatever the mode is now: a mode change during the run
  // must not leave a timer behind.
  KillTimers();
  m_progress.SetProgressPos(0);
  m_bActive = 0;
  if (m_bHandOverPending) {
    // Our block never reached the worker; the one it drains is not ours to cut.
    m_bHandOverPending = false;
  } else if (!m_bRunPeriodic || m_parser.m_nDataLength > kStopLetsFinishBytes) {
    m_worker.SetTxLength(0);
  }
  UpdateControls();
}

void SendController::OnTimer(int id) {
  // Ticks already queued when the run ended have nothing left to do.
  if (!m_bActive) return;
  if (id == kRepeatTimer) {
    if (m_bRunPeriodic) OnRepeatTick();
  } else {
    OnProgressTick();
  }
}

void SendController::OnProgressTick() {
  if (!HandOverWhenFree()) {
    m_progress.SetProgressPos(0);
    return;
  }
  m_progress.SetProgressPos(m_worker.TxPos());
  if (m_worker.TxBuffer() != nullptr) return;
  m_progress.SetProgressPos(0);
  if (m_bRunPeriodic) return;
  m_timers.KillTimer(kProgressTimer);
  m_bActive = 0;
  UpdateControls();
}

void SendController::OnRepeatTick() {
  // The start's own block is still waiting or running: skip, don't queue.
  if (!HandOverWhenFree() || m_worker.TxBuffer() != nullptr) return;
  if (m_nTransmitCount == 0) {
    KillTimers();
    m_bActive = 0;
    UpdateControls();
    return;
  }
  if (m_nTransmitCount > 0) --m_nTransmitCount;
  m_progress.SetProgressPos(0);
  m_worker.HandOver(m_parser.m_pBuffer, m_parser.m_nDataLength);
}

void SendController::OnClose() {
  KillTimers();
  m_bActive = 0;
  m_bHandOverPending = false;
  m_worker.SetTxLength(0);
}

}  // namespace tarnwick
