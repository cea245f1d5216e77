// A scripted serial backend for the worker's unit tests. The test plays the
// device: it decides which opens fail, feeds input, holds or frees the line
// for writes and makes the device vanish; every call the worker makes is
// written to an event log that the test waits on and checks.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "port/serial_device.h"

namespace tarnwick::testing {

class FakeSerial : public SerialBackend {
 public:
  static constexpr int kGoneError = 19;    // what the fake's device returns once gone
  static constexpr int kMissingError = 2;  // open of an absent device
  static constexpr int kBusyError = 16;    // open of a device another program holds

  // Sleep(ms) waits ms / timeDivisor of real time, so the 500 ms wait phase
  // can be run through quickly; timeDivisor 0: only Wake() ends a Sleep.
  explicit FakeSerial(int timeDivisor = 1) : m_timeDivisor(timeDivisor) {}

  // --- the test's side ------------------------------------------------------

  // Results of the next opens, in order (0: success); afterwards every open
  // gives openErrorAfterPlan.
  void PlanOpens(std::vector<int> errors, int openErrorAfterPlan = 0) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openPlan.assign(errors.begin(), errors.end());
    m_openErrorAfterPlan = openErrorAfterPlan;
  }
  void Feed(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    m_changed.notify_all();
  }
  // false: every write gives 0 bytes and no error, as a line held by flow control.
  void SetWritable(bool writable) { AllowWrites(writable ? SIZE_MAX : 0); }
  // The next n one-byte writes go through, then the line is held.
  void AllowWrites(std::size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeBudget = n;
    m_changed.notify_all();
  }
  // With a queue, every written byte stays in the device's output queue
  // (OutputQueued) until DrainOutput takes it, as a line held by flow control
  // keeps it in the driver.
  void KeepOutputQueued(bool keep) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keepQueued = keep;
  }
  void DrainOutput(std::size_t n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outQueued -= std::min(n, m_outQueued);
    m_changed.notify_all();
  }
  std::size_t OutputQueuedNow() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outQueued;
  }

  // The open device vanishes. With readsFail reads and writes fail with
  // kGoneError and Wait says "ready"; else they move nothing and Wait reports
  // a hang-up.
  // Opens fail with kMissingError until PlanOpens says else.
  void Vanish(bool readsFail = true) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_gone = true;
    m_goneReadsFail = readsFail;
    m_openPlan.clear();
    m_openErrorAfterPlan = kMissingError;
    m_changed.notify_all();
  }
  // Every wait says "ready" at once while reads bring nothing, as some
  // drivers do.
  void ReadyWithoutData(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readyWithoutData = on;
    m_changed.notify_all();
  }
  // Runs inside every Read that returns bytes, before it returns, with the
  // bytes delivered so far by earlier reads.
  void OnRead(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onRead = std::move(hook);
  }

  // Every device opened from now on is handed to wrap, and what it returns
  // is what the opener gets (a device with modem lines around this one).
  void WrapDevices(
      std::function<std::unique_ptr<SerialDevice>(std::unique_ptr<SerialDevice>)> wrap) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wrap = std::move(wrap);
  }

  // Runs at the start of every Write, with the number of bytes written so far.
  void OnWrite(std::function<void(std::size_t)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onWrite = std::move(hook);
  }

  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  std::size_t Count(const std::string& event) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<std::size_t>(std::count(m_events.begin(), m_events.end(), event));
  }
  std::vector<std::uint8_t> Written() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_written;
  }
  std::size_t WaitCalls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_waitCalls;
  }
  // Waits until pred holds over the event log (checked at every event).
  bool WaitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
               int timeoutMs = 5000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_logged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return pred(m_events); });
  }
  bool WaitForCount(const std::string& event, std::size_t n, int timeoutMs = 5000) {
    return WaitFor(
        [&](const std::vector<std::string>& log) {
          return static_cast<std::size_t>(std::count(log.begin(), log.end(), event)) >= n;
        },
        timeoutMs);
  }

  // --- SerialBackend ----------------------------------------------------------

  std::unique_ptr<SerialDevice> Open(const std::string& portName, int* error) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    int result = m_openErrorAfterPlan;
    if (!m_openPlan.empty()) {
      result = m_openPlan.front();
      m_openPlan.pop_front();
    }
    m_lastOpenName = portName;
    if (result != 0) {
      LogLocked("open:fail");
      if (error) *error = result;
      return nullptr;
    }
    m_gone = false;
    LogLocked("open:ok");
    if (error) *error = 0;
    std::unique_ptr<SerialDevice> device = std::make_unique<Device>(*this);
    return m_wrap ? m_wrap(std::move(device)) : std::move(device);
  }
  std::string ErrorText(int error) const override {
    return "<error " + std::to_string(error) + ">";
  }
  bool IsDeviceGone(int error) const override { return error == kGoneError; }
  bool IsDeviceMissing(int error) const override { return error == kMissingError; }
  WaitResult Sleep(int timeoutMs) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    LogLocked("sleep:" + std::to_string(timeoutMs));
    const auto span = timeoutMs < 0 || m_timeDivisor == 0
                          ? std::chrono::hours(1)
                          : std::chrono::milliseconds(timeoutMs / m_timeDivisor);
    if (!m_changed.wait_for(lock, span, [&] { return m_wakePending; })) return WaitResult::kTimeout;
    m_wakePending = false;
    return WaitResult::kWoken;
  }
  void Wake() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wakePending = true;
    m_changed.notify_all();
  }

 private:
  class Device : public SerialDevice {
   public:
    explicit Device(FakeSerial& owner) : m_owner(owner) {}
    ~Device() override { m_owner.Log("close"); }
    bool SetCommState(const DCB&) override { return true; }
    bool SetCommTimeouts(const COMMTIMEOUTS&) override { return true; }
    int LastError() const override { return 0; }

    IoResult Read(std::uint8_t* buffer, std::size_t capacity) override {
      std::unique_lock<std::mutex> lock(m_owner.m_mutex);
      if (m_owner.m_gone) return {0, m_owner.m_goneReadsFail ? kGoneError : 0};
      const std::size_t n = std::min(capacity, m_owner.m_input.size());
      if (n == 0) return {};
      std::copy_n(m_owner.m_input.begin(), n, buffer);
      m_owner.m_input.erase(m_owner.m_input.begin(), m_owner.m_input.begin() + n);
      m_owner.LogLocked("read:" + std::to_string(n));
      if (m_owner.m_onRead) {
        auto hook = m_owner.m_onRead;
        lock.unlock();
        hook();
      }
      return {n, 0};
    }
    IoResult Write(const std::uint8_t* data, std::size_t length) override {
      std::unique_lock<std::mutex> lock(m_owner.m_mutex);
      if (m_owner.m_onWrite) {
        auto hook = m_owner.m_onWrite;
        const std::size_t sofar = m_owner.m_written.size();
        lock.unlock();
        hook(sofar);
        lock.lock();
      }
      if (m_owner.m_gone) return {0, m_owner.m_goneReadsFail ? kGoneError : 0};
      if (m_owner.m_writeBudget == 0 || length == 0) {
        m_owner.LogLocked("write:held");
        return {};
      }
      if (m_owner.m_writeBudget != SIZE_MAX) --m_owner.m_writeBudget;
      m_owner.m_written.push_back(data[0]);
      if (m_owner.m_keepQueued) ++m_owner.m_outQueued;
      m_owner.LogLocked("write:" + std::to_string(data[0]));
      return {1, 0};
    }
    std::size_t OutputQueued() override {
      std::lock_guard<std::mutex> lock(m_owner.m_mutex);
      return m_owner.m_outQueued;
    }
    WaitResult Wait(bool wantWrite, int timeoutMs) override {
      std::unique_lock<std::mutex> lock(m_owner.m_mutex);
      ++m_owner.m_waitCalls;
      // A wait with a limit names it: "wait:read:10".
      std::string event = wantWrite ? "wait:write" : "wait:read";
      if (timeoutMs >= 0) event += ":" + std::to_string(timeoutMs);
      m_owner.LogLocked(event);
      WaitResult result = WaitResult::kTimeout;
      auto ready = [&] {
        if (m_owner.m_wakePending) {
          m_owner.m_wakePending = false;
          result = WaitResult::kWoken;
        } else if (m_owner.m_readyWithoutData) {
          result = WaitResult::kReady;
        } else if (m_owner.m_gone) {
          // A failing read tells the loss itself; else only the hang-up does.
          result = m_owner.m_goneReadsFail ? WaitResult::kReady : WaitResult::kHangUp;
        } else if (!m_owner.m_input.empty() || (wantWrite && m_owner.m_writeBudget > 0)) {
          result = WaitResult::kReady;
        } else {
          return false;
        }
        return true;
      };
      const auto span =
          timeoutMs < 0 ? std::chrono::hours(1) : std::chrono::milliseconds(timeoutMs);
      m_owner.m_changed.wait_for(lock, span, ready);
      return result;
    }

   private:
    FakeSerial& m_owner;
  };

  void Log(const std::string& event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    LogLocked(event);
  }
  void LogLocked(const std::string& event) {
    m_events.push_back(event);
    m_logged.notify_all();
  }

  const int m_timeDivisor;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;  // input, writability, loss, wake-ups
  std::condition_variable m_logged;   // a new event in the log
  std::deque<int> m_openPlan;
  int m_openErrorAfterPlan = 0;
  std::string m_lastOpenName;
  std::deque<std::uint8_t> m_input;
  std::vector<std::uint8_t> m_written;
  std::vector<std::string> m_events;
  bool m_readyWithoutData = false;
  std::function<void()> m_onRead;
  std::function<void(std::size_t)> m_onWrite;
  std::function<std::unique_ptr<SerialDevice>(std::unique_ptr<SerialDevice>)> m_wrap;
  std::size_t m_waitCalls = 0;
  std::size_t m_writeBudget = SIZE_MAX;
  std::size_t m_outQueued = 0;
  bool m_keepQueued = false;
  bool m_gone = false;
  bool m_goneReadsFail = true;
  bool m_wakePending = false;
};

}  // namespace tarnwick::testing
