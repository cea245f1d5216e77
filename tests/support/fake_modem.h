// The modem side of a scripted device: input lines and error counts the test
// sets, output lines the device records, and what the device can do (wait
// for changes, count errors, have lines at all). FakeModemDevice shows it to
// the code under test, optionally around another device that does the I/O.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "port/serial_device.h"

namespace tarnwick::testing {

class FakeModem {
 public:
  // --- what the device can do; set before the device is opened -------------
  void SetHasLines(bool has) { Set(m_bHasLines, has); }
  void SetCanWait(bool can) { Set(m_bCanWait, can); }
  void SetCountsErrors(bool counts) { Set(m_bCountsErrors, counts); }
  // Every SetOutputLine is refused.
  void SetRefusesOutputs(bool refuses) { Set(m_bRefusesOutputs, refuses); }
  // A driver that says "changed" at once, every time, though nothing did.
  void SetChatters(bool chatters) { Set(m_bChatters, chatters); }

  // --- the line's side --------------------------------------------------------
  // A change of the input lines; one that sets the bits they had is still an
  // event a waiting device reports.
  void SetInputs(unsigned bits) {
    std::lock_guard lock(m_mutex);
    m_inputs = bits;
    ++m_version;
    m_changed.notify_all();
  }
  void AddErrors(const LineErrors& more) {
    std::lock_guard lock(m_mutex);
    m_errors.overrun += more.overrun;
    m_errors.bufferOverrun += more.bufferOverrun;
    m_errors.framing += more.framing;
    m_errors.parity += more.parity;
    m_errors.breaks += more.breaks;
  }
  // The lines stop answering: reads fail, a wait ends with kFailed.
  void LoseLines() { Set(m_bLost, true); }

  // --- what the test reads ----------------------------------------------------
  // "dtr:0", "rts:1" ... for every output change the device took.
  std::vector<std::string> Outputs() const { return Get(m_outputs); }
  std::size_t StatusReads() const { return Get(m_nStatusReads); }
  std::size_t ErrorReads() const { return Get(m_nErrorReads); }
  std::size_t Waits() const { return Get(m_nWaits); }
  bool Waiting() const { return Get(m_nWaiting) > 0; }

  // Waits until pred holds, looking at every call into the fake, up to 5 s.
  bool WaitUntil(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::unique_lock lock(m_mutex);
      m_changed.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
  }
  // Until the device's n-th wait has begun and blocks.
  bool WaitUntilWaiting(std::size_t n) {
    return WaitUntil([&] { return Waits() >= n && Waiting(); });
  }

 private:
  friend class FakeModemDevice;

  template <typename T>
  void Set(T& field, T value) {
    std::lock_guard lock(m_mutex);
    field = value;
    m_changed.notify_all();
  }
  template <typename T>
  T Get(const T& field) const {
    std::lock_guard lock(m_mutex);
    return field;
  }

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_bHasLines = true;
  bool m_bCanWait = true;
  bool m_bCountsErrors = true;
  bool m_bRefusesOutputs = false;
  bool m_bChatters = false;
  bool m_bLost = false;
  bool m_bInterrupt = false;
  unsigned m_inputs = 0;
  unsigned long m_version = 0;
  unsigned long m_seenVersion = 0;  // as of the last status read
  LineErrors m_errors;
  std::vector<std::string> m_outputs;
  std::size_t m_nStatusReads = 0;
  std::size_t m_nErrorReads = 0;
  std::size_t m_nWaits = 0;
  std::size_t m_nWaiting = 0;
};

class FakeModemDevice : public SerialDevice {
 public:
  explicit FakeModemDevice(FakeModem& modem, std::unique_ptr<SerialDevice> inner = nullptr)
      : m_modem(modem), m_inner(std::move(inner)) {}

  bool SetCommState(const DCB& dcb) override { return !m_inner || m_inner->SetCommState(dcb); }
  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override {
    return !m_inner || m_inner->SetCommTimeouts(timeouts);
  }
  int LastError() const override { return m_inner ? m_inner->LastError() : 0; }
  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override {
    return m_inner ? m_inner->Read(buffer, capacity) : IoResult{};
  }
  IoResult Write(const std::uint8_t* data, std::size_t length) override {
    return m_inner ? m_inner->Write(data, length) : IoResult{};
  }
  std::size_t OutputQueued() override { return m_inner ? m_inner->OutputQueued() : 0; }
  WaitResult Wait(bool wantWrite, int timeoutMs) override {
    return m_inner ? m_inner->Wait(wantWrite, timeoutMs) : WaitResult::kTimeout;
  }

  bool GetModemStatus(unsigned* lines) override {
    std::lock_guard lock(m_modem.m_mutex);
    ++m_modem.m_nStatusReads;
    m_modem.m_changed.notify_all();
    if (!m_modem.m_bHasLines || m_modem.m_bLost) return false;
    *lines = m_modem.m_inputs;
    // A change the caller has read is no news to its next wait.
    m_modem.m_seenVersion = m_modem.m_version;
    return true;
  }
  bool SetOutputLine(OutputLine line, bool high) override {
    std::lock_guard lock(m_modem.m_mutex);
    if (!m_modem.m_bHasLines || m_modem.m_bLost || m_modem.m_bRefusesOutputs) return false;
    m_modem.m_outputs.push_back(std::string(line == OutputLine::kDtr ? "dtr:" : "rts:") +
                                (high ? "1" : "0"));
    m_modem.m_changed.notify_all();
    return true;
  }
  ModemWait WaitModemChange() override {
    std::unique_lock lock(m_modem.m_mutex);
    ++m_modem.m_nWaits;
    m_modem.m_changed.notify_all();
    if (!m_modem.m_bCanWait) return ModemWait::kUnsupported;
    if (m_modem.m_bChatters) return ModemWait::kChanged;
    ++m_modem.m_nWaiting;
    m_modem.m_changed.notify_all();
    m_modem.m_changed.wait(lock, [&] {
      return m_modem.m_bInterrupt || m_modem.m_bLost || m_modem.m_version != m_modem.m_seenVersion;
    });
    --m_modem.m_nWaiting;
    m_modem.m_changed.notify_all();
    if (std::exchange(m_modem.m_bInterrupt, false)) return ModemWait::kInterrupted;
    if (m_modem.m_bLost) return ModemWait::kFailed;
    return ModemWait::kChanged;
  }
  void InterruptModemWait() override {
    std::lock_guard lock(m_modem.m_mutex);
    m_modem.m_bInterrupt = true;
    m_modem.m_changed.notify_all();
  }
  bool GetLineErrors(LineErrors* errors) override {
    std::lock_guard lock(m_modem.m_mutex);
    ++m_modem.m_nErrorReads;
    if (!m_modem.m_bCountsErrors) return false;
    *errors = m_modem.m_errors;
    return true;
  }

 private:
  FakeModem& m_modem;
  std::unique_ptr<SerialDevice> m_inner;
};

}  // namespace tarnwick::testing
