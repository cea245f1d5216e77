// The serial device on Windows: a COM port opened synchronously with
// CreateFileA, configured with SetCommState and SetCommTimeouts.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "port/dcb.h"
#include "port/serial_device.h"

namespace tarnwick {

class Win32SerialDevice final : public SerialDevice {
 public:
  // Takes ownership of port; wakeEvent stays the backend's.
  Win32SerialDevice(HANDLE port, HANDLE wakeEvent);
  ~Win32SerialDevice() override;
  Win32SerialDevice(const Win32SerialDevice&) = delete;
  Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

  bool SetCommState(const DCB& dcb) override;
  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
  int LastError() const override { return m_lastError; }

  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override;
  IoResult Write(const std::uint8_t* data, std::size_t length) override;
  std::size_t OutputQueued() override;
  WaitResult Wait(bool wantWrite, int timeoutMs) override;

  bool GetModemStatus(unsigned* lines) override;
  bool SetOutputLine(OutputLine line, bool high) override;
  bool GetLineErrors(LineErrors* errors) override;

 private:
  bool Fail();
  // ClearCommError, counting the error flags it clears: whoever calls it
  // (the wait, the queue size, the error counts) adds to the same counts.
  bool ClearErrors(COMSTAT* status);

  HANDLE m_hPort;
  HANDLE m_hWakeEvent;
  int m_lastError = 0;
  std::mutex m_csErrors;
  LineErrors m_errors;  // since the open
};

class Win32SerialBackend final : public SerialBackend {
 public:
  Win32SerialBackend();
  ~Win32SerialBackend() override;
  Win32SerialBackend(const Win32SerialBackend&) = delete;
  Win32SerialBackend& operator=(const Win32SerialBackend&) = delete;

  std::unique_ptr<SerialDevice> Open(const std::string& portName, int* error) override;
  std::string ErrorText(int error) const override;
  bool IsDeviceGone(int error) const override;
  bool IsDeviceMissing(int error) const override;
  WaitResult Sleep(int timeoutMs) override;
  void Wake() override;

 private:
  HANDLE m_hWakeEvent;  // manual-reset: Wake() latches it until a Wait or Sleep consumes it
};

}  // namespace tarnwick
