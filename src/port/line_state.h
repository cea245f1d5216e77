// What the open port's modem lines and error counters say, for the status
// bar, and the user's hold on DTR and RTS. The port worker attaches the device
// when the port opens and detaches it before the port closes; in between a
// watcher thread follows the input lines, blocked until one changes where the
// device can wait for that, or looking ten times a second where it cannot. A
// device without modem lines (a pseudo-terminal) gets no watcher at all.
//
// Nothing here is saved: a reopen sets DTR and RTS as the settings say and
// starts the error counts at zero.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "port/dcb.h"
#include "port/serial_device.h"

namespace tarnwick {

struct LineStatus {
  bool bOpen = false;        // a port is attached
  bool bModemLines = false;  // it has modem lines that answer
  bool bLinesLost = false;   // they answered at the open, and no longer do
  unsigned nInputs = 0;      // ModemLine bits, while bModemLines
  bool bDtr = false;         // the output lines as last set
  bool bRts = false;
  std::uint32_t nDtrControl = kDtrControlDisable;  // the DCB's codes of the open port
  std::uint32_t nRtsControl = kRtsControlDisable;
  bool bDtrSettable = false;  // ENABLE or DISABLE control, on a device with modem lines
  bool bRtsSettable = false;
  bool bErrorsCounted = false;  // the device counts line errors
  LineErrors errors;            // since the open or the last ResetErrors
  friend bool operator==(const LineStatus&, const LineStatus&) = default;
};

class LineState {
 public:
  // How long a pulse holds DTR low.
  static constexpr int kPulseMs = 100;
  // Period of the look where the device cannot wait for changes.
  static constexpr int kPollMs = 100;
  // After a change the lines are read once more this much later before the
  // next wait, so a chattering line costs at most one look per period.
  static constexpr int kSettleMs = 20;

  LineState() = default;
  ~LineState();
  LineState(const LineState&) = delete;
  LineState& operator=(const LineState&) = delete;

  // Called on the thread that made a change, after each change, with the
  // status lock held: it must only hand the news on (post it). After
  // SetListener returns, the previous listener is not called again.
  void SetListener(std::function<void()> listener);

  // Worker thread. The port has opened with dcb: reads the lines and the
  // error counts and starts the watcher where there are lines to watch.
  void Attach(SerialDevice& device, const DCB& dcb);
  // Worker thread, before the device closes: stops the watcher and waits
  // for it. The last error counts stay on show.
  void Detach();
  // Worker thread, after received bytes were handed on: the error counts
  // are read again (errors come with the bytes they spoilt).
  void AfterReceive();

  // Any thread.
  LineStatus Status() const;
  // Sets DTR or RTS on the open port; false, changing nothing, while the
  // port is closed, the device has no modem lines, the settings leave the
  // line to HANDSHAKE or TOGGLE, or the device refuses.
  bool SetDtr(bool high) { return SetLine(OutputLine::kDtr, high); }
  bool SetRts(bool high) { return SetLine(OutputLine::kRts, high); }
  // Drops DTR for kPulseMs and raises it again, on the watcher thread; false
  // where SetDtr would refuse. A pulse asked for during one follows it.
  bool PulseDtr();
  // The error counts start again from zero (Clear).
  void ResetErrors();

 private:
  bool SetLine(OutputLine line, bool high);
  void Watch(SerialDevice* device);
  bool ReadInputs(SerialDevice& device);
  void ReadErrors();
  void RunPulse(SerialDevice& device);
  bool SetDtrFromWatcher(SerialDevice& device, bool high);
  void LoseModemLines();
  // Waits up to ms for a stop (or, with pulses, a pulse request); true when
  // one came.
  bool WatchPause(int ms, bool pulses);
  // Applies change to a copy of the status; publishes it when it differs.
  template <typename Change>
  void Publish(Change change);

  mutable std::mutex m_csStatus;  // m_status, m_listener
  LineStatus m_status;
  std::function<void()> m_listener;

  // Held around every call into the device from outside the worker's own
  // reading and writing, except the blocking wait.
  std::mutex m_csDevice;
  SerialDevice* m_pDevice = nullptr;
  LineErrors m_errorBase;
  std::atomic<bool> m_bCountsErrors{false};

  std::mutex m_csWatch;  // m_bStop, m_bPulse
  std::condition_variable m_watchWake;
  bool m_bStop = false;
  bool m_bPulse = false;
  std::thread m_watcher;
};

}  // namespace tarnwick
