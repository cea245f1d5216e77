// The serial device on POSIX systems: a terminal device opened non-blocking
// and exclusively, configured through termios, woken through an eventfd.
#pragma once

#include <memory>
#include <string>

#include "platform/posix_interruptible_call.h"
#include "platform/posix_wait.h"
#include "port/dcb.h"
#include "port/serial_device.h"

namespace tarnwick {

class PosixSerialDevice final : public SerialDevice {
 public:
  // Takes ownership of fd; wakeFd stays the backend's.
  PosixSerialDevice(int fd, int wakeFd);
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  bool SetCommState(const DCB& dcb) override;
  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
  int LastError() const override { return m_lastError; }

  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override;
  IoResult Write(const std::uint8_t* data, std::size_t length) override;
  std::size_t OutputQueued() override;
  WaitResult Wait(bool wantWrite, int timeoutMs) override;
  int PollDescriptor() const override { return m_fd; }

  bool GetModemStatus(unsigned* lines) override;
  bool SetOutputLine(OutputLine line, bool high) override;
  ModemWait WaitModemChange() override;
  void InterruptModemWait() override { m_modemWait.Interrupt(); }
  bool GetLineErrors(LineErrors* errors) override;

 private:
  bool Fail(int error);
  // A device without modem lines (a pseudo-terminal) reads as asserted.
  bool ModemLineHigh(int line) const;
  // Errors are ignored for the same reason.
  void SetModemLine(int line, bool high) const;
  void ApplyModemLines() const;
  // Waits until the output queue is empty; false when it stopped moving.
  bool OutputDrained() const;

  int m_fd;
  int m_wakeFd;
  int m_lastError = 0;
  DCB m_dcb{};
  COMMTIMEOUTS m_timeouts{};
  // TIOCMIWAIT has no time limit and no descriptor to poll beside it.
  InterruptibleCall m_modemWait;
};

class PosixSerialBackend final : public SerialBackend {
 public:
  PosixSerialBackend();
  ~PosixSerialBackend() override;
  PosixSerialBackend(const PosixSerialBackend&) = delete;
  PosixSerialBackend& operator=(const PosixSerialBackend&) = delete;

  std::unique_ptr<SerialDevice> Open(const std::string& portName, int* error) override;
  std::string ErrorText(int error) const override;
  bool IsDeviceGone(int error) const override;
  bool IsDeviceMissing(int error) const override;
  std::string OpenFailureAdvice(const std::string& portName, int error) const override;
  WaitResult Sleep(int timeoutMs) override;
  void SetOpenCancel(std::function<bool()> cancelled) override {
    m_openWake.giveUp = std::move(cancelled);
  }
  void Wake() override;
  int WakeDescriptor() const override { return m_wakeFd; }
  bool ConsumeWake() override;

 private:
  int m_wakeFd;         // eventfd: Wake() latches it until a Wait or Sleep consumes it
  OpenWake m_openWake;  // m_wakeFd as the waits inside an open see it
};

}  // namespace tarnwick
