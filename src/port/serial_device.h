// The serial device as the port code sees it. One backend per platform (POSIX
// termios, Win32 COM API); tests script a fake one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The input lines of the modem interface, as bits.
enum ModemLine : unsigned {
  kModemCts = 1u << 0,  // Clear To Send
  kModemDsr = 1u << 1,  // Data Set Ready
  kModemDcd = 1u << 2,  // Data Carrier Detect (RLSD)
  kModemRi = 1u << 3,   // Ring Indicator
};

// The output lines this side drives.
enum class OutputLine { kDtr, kRts };

// Receive errors counted by the driver.
struct LineErrors {
  std::uint32_t overrun = 0;        // the UART's receive register overran
  std::uint32_t bufferOverrun = 0;  // the driver's input buffer overflowed
  std::uint32_t framing = 0;
  std::uint32_t parity = 0;
  std::uint32_t breaks = 0;

  std::uint64_t Total() const {
    return std::uint64_t{overrun} + bufferOverrun + framing + parity + breaks;
  }
  // Counts since base, each modulo 2^32 as the driver's counters wrap.
  LineErrors Since(const LineErrors& base) const {
    return {overrun - base.overrun, bufferOverrun - base.bufferOverrun, framing - base.framing,
            parity - base.parity, breaks - base.breaks};
  }
  friend bool operator==(const LineErrors&, const LineErrors&) = default;
};

enum class ModemWait {
  kChanged,      // an input line changed (or may have): read them again
  kInterrupted,  // InterruptModemWait() was called
  kUnsupported,  // the device cannot wait for changes: poll instead
  kFailed,       // the device no longer answers
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
  // The descriptor a poll waits on for this device's input and output, for a
  // worker that waits on more than one source; -1 when there is none.
  virtual int PollDescriptor() const { return -1; }
  // Output the device keeps itself until its descriptor takes it (what a
  // socket did not take at once). A worker that polls PollDescriptor() itself
  // asks for POLLOUT while there is some, and then sends it with
  // SendHeldOutput(): 0, or the error that ends the device.
  virtual bool HoldsOutput() { return false; }
  virtual int SendHeldOutput() { return 0; }

  // Whether output leaves here at the line's rate (a terminal), rather than
  // at a transport's pace with a server beyond it that paces the line (a
  // port across the network): only then is output measured out by line time.
  virtual bool LineTimed() const { return true; }

  // The modem lines and line errors. Besides the thread that reads and
  // writes, one other thread at a time may call these; WaitModemChange and
  // InterruptModemWait may run beside all of them.

  // CTS, DSR, DCD and RI as ModemLine bits; false when the device has no
  // modem lines (a pseudo-terminal) or they cannot be read.
  virtual bool GetModemStatus(unsigned* lines) {
    (void)lines;
    return false;
  }
  // Raises or lowers DTR or RTS; false when the device refuses.
  virtual bool SetOutputLine(OutputLine line, bool high) {
    (void)line;
    (void)high;
    return false;
  }
  // Blocks until an input line changes or InterruptModemWait() is called.
  virtual ModemWait WaitModemChange() { return ModemWait::kUnsupported; }
  // Any thread: ends the WaitModemChange under way, or else the next one at
  // once.
  virtual void InterruptModemWait() {}
  // The receive errors the driver has counted; false when it counts none.
  // Only differences between two readings mean anything.
  virtual bool GetLineErrors(LineErrors* errors) {
    (void)errors;
    return false;
  }
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

  // What the user can do about an open that failed with error, to show after
  // the system's reason (a group to join for a refused device); empty when
  // there is nothing to add.
  virtual std::string OpenFailureAdvice(const std::string& portName, int error) const {
    (void)portName;
    (void)error;
    return {};
  }

  // Waits without a device, until Wake() or timeoutMs (negative: no limit).
  // Returns kWoken or kTimeout.
  virtual WaitResult Sleep(int timeoutMs) = 0;

  // Before the worker starts (null: after it ended): asked, on the worker's
  // thread, when a wake-up comes while Open waits (a name lookup, a connect,
  // a server's answers); true gives the open up. Without it every wake-up
  // does. A backend whose opens never wait ignores it.
  virtual void SetOpenCancel(std::function<bool()> cancelled) { (void)cancelled; }

  // Interrupts the current or next Wait/Sleep. Safe from any thread.
  virtual void Wake() = 0;
  // The descriptor that Wake() makes readable, for a poll of several
  // sources; -1 when there is none.
  virtual int WakeDescriptor() const { return -1; }
  // Consumes a wake-up seen on WakeDescriptor(); true when there was one.
  virtual bool ConsumeWake() { return false; }
};

// The backend of the platform this program was built for.
std::unique_ptr<SerialBackend> CreatePlatformSerialBackend();

}  // namespace tarnwick
