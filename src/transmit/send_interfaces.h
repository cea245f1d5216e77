// What the send state machine needs from the world around it: the port
// worker's hand-over words, the dialog's timers, progress bar and controls.
// The Qt dialog implements these over PortWorker and its widgets; tests use
// fakes.
#pragma once

#include <cstdint>

namespace tarnwick {

// The worker side of the transmit hand-over.
class TxHandOver {
 public:
  virtual ~TxHandOver() = default;
  // Length, position 0, then the pointer with release. The block must stay
  // untouched until TxBuffer() reads null again.
  virtual void HandOver(const std::uint8_t* block, std::int32_t length) = 0;
  // 0 ends the pending block after one more byte.
  virtual void SetTxLength(std::int32_t length) = 0;
  // The block being sent, null once the worker has let go of it.
  virtual const std::uint8_t* TxBuffer() const = 0;
  // Bytes of the current block sent so far.
  virtual std::int32_t TxPos() const = 0;
};

// Window timers: ticks arrive as SendController::OnTimer(id).
class SendTimers {
 public:
  virtual ~SendTimers() = default;
  virtual void StartTimer(int id, int periodMs) = 0;
  // Harmless for a timer that is not running.
  virtual void KillTimer(int id) = 0;
};

class SendProgress {
 public:
  virtual ~SendProgress() = default;
  virtual void SetProgressRange(std::int32_t lower, std::int32_t upper) = 0;
  virtual void SetProgressPos(std::int32_t pos) = 0;
};

// Which controls are usable and what button 1 says.
struct SendControls {
  bool textEnabled = true;
  bool browseEnabled = false;
  bool periodEnabled = false;
  const char* buttonLabel = "SEND";
};

class SendForm {
 public:
  virtual ~SendForm() = default;
  // Controls to members; the dialog passes the controls' values to
  // SendController::ExchangeFromControls.
  virtual void ReadControls() = 0;
  // Members to controls.
  virtual void ShowMembers() = 0;
  virtual void ApplyControls(const SendControls& controls) = 0;
};

}  // namespace tarnwick
