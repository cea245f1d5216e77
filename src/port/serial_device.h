// The serial device as the port code sees it. One backend per platform (POSIX
// termios, Win32 COM API); tests script a fake one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "port/dcb.h"

namespace tarnwick {

// Outcome of one read or write: the bytes moved and the platform's error code
// (errno, or GetLastError on Windows), 0 when the call succeeded.
struct IoResult {
  std::size_t count = 0;
  int error = 0;
};

enum class WaitResult {
  kReady,    // input has arrived, or output can be taken when it was asked for
  kWoken,    // Wake() was called
  kTimeout,  // nothing happened in time
  kHangUp,   // the device has gone away (hang-up or error condition)
};

// One open device. Destroying it closes it.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Applies the line configuration; false with the reason in LastError().
  virtual bool SetCommState(const DCB& dcb) = 0;
  virtual bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) = 0;
  virtual int LastError() const = 0;

  // Returns at once with what has arrived, at most capacity bytes, possibly none.
  virtual IoResult Read(std::uint8_t* buffer, std::size_t capacity) = 0;
  // Writes at most length bytes, giving up after the write timeout.
  virtual IoResult Write(const std::uint8_t* data, std::size_t length) = 0;

  // Characters written but not yet sent on the line: the driver's output
  // queue. 0 when the device cannot tell; a pseudo-terminal's output is
  // already the other side's input, so it has none.
  virtual std::size_t OutputQueued() { return 0; }

  // Blocks until input has arrived (or, with wantWrite, output can be taken),
  // until the backend's Wake() is called, or until timeoutMs passed (negative:
  // no limit).
  virtual WaitResult Wait(bool wantWrite, int timeoutMs) = 0;
};

class SerialBackend {
 public:
  virtual ~SerialBackend() = default;

  // Opens the device named in the "\\.\COM%d" form for exclusive reading and
  // writing. On failure returns null and the platform's error code.
  virtual std::unique_ptr<SerialDevice> Open(const std::string& portName, int* error) = 0;

  // The platform's message for an error code; empty when it has none.
  virtual std::string ErrorText(int error) const = 0;

  // True for errors that mean the device is gone (unplugged, hung up).
  virtual bool IsDeviceGone(int error) const = 0;

  // True for open errors that mean no device of that name exists (yet), as
  // opposed to one that is busy, refused or rejects the settings.
  virtual bool IsDeviceMissing(int error) const = 0;

  // Waits without a device, until Wake() or timeoutMs (negative: no limit).
  // Returns kWoken or kTimeout.
  virtual WaitResult Sleep(int timeoutMs) = 0;

  // Interrupts the current or next Wait/Sleep. Safe from any thread.
  virtual void Wake() = 0;
};

// The backend of the platform this program was built for.
std::unique_ptr<SerialBackend> CreatePlatformSerialBackend();

}  // namespace tarnwick
