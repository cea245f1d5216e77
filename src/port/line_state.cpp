#include "port/line_state.h"

#include <chrono>
#include <utility>

namespace tarnwick {

namespace {

// The settings leave the line to the user only in ENABLE and DISABLE; the
// DCB numbers those 1 and 0 for both lines.
bool UserControlled(std::uint32_t control) {
  return control == kDtrControlEnable || control == kDtrControlDisable;
}

}  // namespace

LineState::~LineState() { Detach(); }

void LineState::SetListener(std::function<void()> listener) {
  std::lock_guard lock(m_csStatus);
  m_listener = std::move(listener);
}

LineStatus LineState::Status() const {
  std::lock_guard lock(m_csStatus);
  return m_status;
}

template <typename Change>
void LineState::Publish(Change change) {
  std::lock_guard lock(m_csStatus);
  LineStatus next = m_status;
  change(next);
  if (next == m_status) return;
  m_status = next;
  if (m_listener) m_listener();
}

void LineState::Attach(SerialDevice& device, const DCB& dcb) {
  Detach();
  unsigned inputs = 0;
  const bool lines = device.GetModemStatus(&inputs);
  LineErrors base;
  const bool counts = device.GetLineErrors(&base);
  {
    std::lock_guard lock(m_csDevice);
    m_pDevice = &device;
    m_errorBase = base;
    m_bCountsErrors.store(counts, std::memory_order_relaxed);
  }
  const std::uint32_t dtr = dcb.fDtrControl;
  const std::uint32_t rts = dcb.fRtsControl;
  // Before the toggles show: a pulse asked for from then on is this port's.
  {
    std::lock_guard lock(m_csWatch);
    m_bStop = false;
    m_bPulse = false;
  }
  Publish([&](LineStatus& s) {
    s = LineStatus{};
    s.bOpen = true;
    s.bModemLines = lines;
    s.nInputs = lines ? inputs : 0;
    // As the device set them when it took the DCB: HANDSHAKE keeps the line
    // raised, TOGGLE keeps RTS low between writes.
    s.bDtr = dtr != kDtrControlDisable;
    s.bRts = rts == kRtsControlEnable || rts == kRtsControlHandshake;
    s.nDtrControl = dtr;
    s.nRtsControl = rts;
    s.bDtrSettable = lines && UserControlled(dtr);
    s.bRtsSettable = lines && UserControlled(rts);
    s.bErrorsCounted = counts;
  });
  if (!lines) return;
  m_watcher = std::thread(&LineState::Watch, this, &device);
}

void LineState::Detach() {
  SerialDevice* device = nullptr;
  {
    std::lock_guard lock(m_csDevice);
    device = m_pDevice;
  }
  if (m_watcher.joinable()) {
    {
      std::lock_guard lock(m_csWatch);
      m_bStop = true;
    }
    m_watchWake.notify_all();
    if (device != nullptr) device->InterruptModemWait();
    m_watcher.join();
  }
  if (device == nullptr) return;
  {
    std::lock_guard lock(m_csDevice);
    m_pDevice = nullptr;
    m_bCountsErrors.store(false, std::memory_order_relaxed);
  }
  Publish([](LineStatus& s) {
    s.bOpen = false;
    s.bModemLines = false;
    s.nInputs = 0;
    s.bDtrSettable = false;
    s.bRtsSettable = false;
  });
}

void LineState::AfterReceive() {
  // A device that counts nothing (a pseudo-terminal) costs one load.
  if (m_bCountsErrors.load(std::memory_order_relaxed)) ReadErrors();
}

// Readings are published under the device lock, so a reading never
// overtakes a later one (or a reset) made on another thread.
void LineState::ReadErrors() {
  std::lock_guard lock(m_csDevice);
  LineErrors now;
  if (m_pDevice == nullptr || !m_pDevice->GetLineErrors(&now)) return;
  const LineErrors since = now.Since(m_errorBase);
  Publish([&](LineStatus& s) { s.errors = since; });
}

void LineState::ResetErrors() {
  std::lock_guard lock(m_csDevice);
  LineErrors now;
  if (m_pDevice != nullptr && m_bCountsErrors.load(std::memory_order_relaxed) &&
      m_pDevice->GetLineErrors(&now)) {
    m_errorBase = now;
  }
  Publish([](LineStatus& s) { s.errors = LineErrors{}; });
}

bool LineState::SetLine(OutputLine line, bool high) {
  const bool dtr = line == OutputLine::kDtr;
  {
    const LineStatus status = Status();
    if (!(dtr ? status.bDtrSettable : status.bRtsSettable)) return false;
  }
  std::lock_guard lock(m_csDevice);
  if (m_pDevice == nullptr || !m_pDevice->SetOutputLine(line, high)) return false;
  Publish([&](LineStatus& s) { (dtr ? s.bDtr : s.bRts) = high; });
  return true;
}

bool LineState::PulseDtr() {
  if (!Status().bDtrSettable) return false;
  {
    std::lock_guard lock(m_csWatch);
    m_bPulse = true;
  }
  m_watchWake.notify_all();
  std::lock_guard lock(m_csDevice);
  if (m_pDevice != nullptr) m_pDevice->InterruptModemWait();
  return true;
}

bool LineState::WatchPause(int ms, bool pulses) {
  std::unique_lock lock(m_csWatch);
  return m_watchWake.wait_for(lock, std::chrono::milliseconds(ms),
                              [&] { return m_bStop || (pulses && m_bPulse); });
}

void LineState::Watch(SerialDevice* device) {
  bool canWait = true;
  bool settle = false;
  for (;;) {
    bool pulse = false;
    {
      std::lock_guard lock(m_csWatch);
      if (m_bStop) return;
      pulse = std::exchange(m_bPulse, false);
    }
    if (pulse) {
      RunPulse(*device);
      continue;
    }
    if (!ReadInputs(*device)) return;
    if (!canWait) {
      // Errors come with bytes, which the worker reports; the look here
      // also catches those of a device that cannot wait.
      ReadErrors();
      WatchPause(kPollMs, true);
      continue;
    }
    if (settle) {
      settle = false;
      WatchPause(kSettleMs, true);
      continue;
    }
    switch (device->WaitModemChange()) {
      case ModemWait::kChanged:
        settle = true;
        break;
      case ModemWait::kInterrupted:
        break;
      case ModemWait::kUnsupported:
        canWait = false;
        break;
      case ModemWait::kFailed:
        LoseModemLines();
        return;
    }
  }
}

bool LineState::ReadInputs(SerialDevice& device) {
  unsigned inputs = 0;
  {
    std::lock_guard lock(m_csDevice);
    if (device.GetModemStatus(&inputs)) {
      Publish([&](LineStatus& s) { s.nInputs = inputs; });
      return true;
    }
  }
  LoseModemLines();
  return false;
}

// Ends with DTR raised, whichever way it stood before.
void LineState::RunPulse(SerialDevice& device) {
  if (!SetDtrFromWatcher(device, false)) return;
  // Only a stop cuts the pulse short: the port closes, and a reopen sets
  // DTR as the settings say.
  if (WatchPause(kPulseMs, false)) return;
  SetDtrFromWatcher(device, true);
}

bool LineState::SetDtrFromWatcher(SerialDevice& device, bool high) {
  std::lock_guard lock(m_csDevice);
  if (!device.SetOutputLine(OutputLine::kDtr, high)) return false;
  Publish([&](LineStatus& s) { s.bDtr = high; });
  return true;
}

// The lines stopped answering (an adapter pulled out, a driver that gave
// up): the lamps go grey and the watcher ends; the worker notices a device
// that is gone by itself.
void LineState::LoseModemLines() {
  Publish([](LineStatus& s) {
    s.bModemLines = false;
    s.bLinesLost = true;
    s.nInputs = 0;
    s.bDtrSettable = false;
    s.bRtsSettable = false;
  });
}

}  // namespace tarnwick
