#include "platform/posix_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "platform/com_names.h"
#include "platform/error_text.h"
#include "platform/posix_arbitrary_baud.h"
#include "platform/posix_device_group.h"
#include "platform/posix_line_settings.h"
#include "platform/posix_network_device.h"
#include "platform/posix_wait.h"
#include "port/network_port_name.h"

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// Default write timeouts until SetCommTimeouts gives others.
constexpr std::uint32_t kWriteMsPerByte = 10;
constexpr std::uint32_t kWriteMsConstant = 10;
// How often a write looks at DSR again while it holds the output back.
constexpr int kDsrPollMs = 2;
// How often RTS toggling looks whether the output queue has emptied.
constexpr int kDrainPollMs = 1;
constexpr int kDrainMarginMs = 20;

}  // namespace

PosixSerialDevice::PosixSerialDevice(int fd, int wakeFd) : m_fd(fd), m_wakeFd(wakeFd) {
  m_timeouts.ReadIntervalTimeout = 0xFFFFFFFF;
  m_timeouts.WriteTotalTimeoutMultiplier = kWriteMsPerByte;
  m_timeouts.WriteTotalTimeoutConstant = kWriteMsConstant;
}

PosixSerialDevice::~PosixSerialDevice() {
  // The exclusive flag outlives this descriptor while anyone else holds the
  // terminal open; clear it so the next open by an ordinary user succeeds.
  ::ioctl(m_fd, TIOCNXCL);
  ::close(m_fd);
}

bool PosixSerialDevice::Fail(int error) {
  m_lastError = error;
  return false;
}

bool PosixSerialDevice::SetCommState(const DCB& dcb) {
  struct termios tio;
  if (::tcgetattr(m_fd, &tio) != 0) return Fail(errno);  // ENOTTY: not a serial device
  bool needsArbitraryRate = false;
  if (const int error = ApplyDcbToTermios(dcb, tio, &needsArbitraryRate); error != 0) {
    return Fail(error);
  }
  if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) return Fail(errno);
  if (needsArbitraryRate) {
    if (const int error = SetArbitraryBaudRate(m_fd, dcb.BaudRate); error != 0) {
      return Fail(error);
    }
  }
  m_dcb = dcb;
  ApplyModemLines();
  return true;
}

bool PosixSerialDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
  // Reads always return at once (the MAXDWORD interval semantics); the write
  // limits are kept for Write.
  if (::fcntl(m_fd, F_GETFD) < 0) return Fail(errno);
  m_timeouts = timeouts;
  return true;
}

bool PosixSerialDevice::ModemLineHigh(int line) const {
  int status = 0;
  if (::ioctl(m_fd, TIOCMGET, &status) != 0) return true;
  return (status & line) != 0;
}

void PosixSerialDevice::SetModemLine(int line, bool high) const {
  ::ioctl(m_fd, high ? TIOCMBIS : TIOCMBIC, &line);
}

bool PosixSerialDevice::OutputDrained() const {
  int queued = 0;
  if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
  // Twice the time the queued characters take on the line (at most 12 bits
  // each), plus a margin: enough while the line moves, bounded when it stops.
  const std::uint64_t baud = m_dcb.BaudRate != 0 ? m_dcb.BaudRate : 9600;
  const auto limit = std::chrono::milliseconds(
      2 * 12 * 1000 * static_cast<std::uint64_t>(queued) / baud + kDrainMarginMs);
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const int left = MillisecondsUntil(deadline);
    if (left == 0) return false;
    ::poll(nullptr, 0, left < kDrainPollMs ? left : kDrainPollMs);
    if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
  }
}

void PosixSerialDevice::ApplyModemLines() const {
  // HANDSHAKE keeps the line raised: input is drained at once, so the buffer
  // never has to ask the peer to stop. TOGGLE keeps RTS low between writes.
  SetModemLine(TIOCM_DTR, m_dcb.fDtrControl != kDtrControlDisable);
  SetModemLine(TIOCM_RTS,
               m_dcb.fRtsControl == kRtsControlEnable || m_dcb.fRtsControl == kRtsControlHandshake);
}

IoResult PosixSerialDevice::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (capacity == 0) return {};
  for (;;) {
    const ssize_t n = ::read(m_fd, buffer, capacity);
    if (n > 0) {
      // DSR sensitivity: what arrives while DSR is low is dropped.
      if (m_dcb.fDsrSensitivity && !ModemLineHigh(TIOCM_DSR)) return {};
      return {static_cast<std::size_t>(n), 0};
    }
    if (n == 0) {
      // End of file on a terminal means it has hung up.
      m_lastError = EIO;
      return {0, EIO};
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {};
    m_lastError = errno;
    return {0, errno};
  }
}

IoResult PosixSerialDevice::Write(const std::uint8_t* data, std::size_t length) {
  if (length == 0) return {};
  const auto budget = std::chrono::milliseconds(
      static_cast<std::uint64_t>(m_timeouts.WriteTotalTimeoutMultiplier) * length +
      m_timeouts.WriteTotalTimeoutConstant);
  const Clock::time_point deadline = Clock::now() + budget;
  const bool toggleRts = m_dcb.fRtsControl == kRtsControlToggle;
  if (toggleRts) SetModemLine(TIOCM_RTS, true);

  std::size_t done = 0;
  int error = 0;
  while (done < length) {
    if (m_dcb.fOutxDsrFlow && !ModemLineHigh(TIOCM_DSR)) {
      const int left = MillisecondsUntil(deadline);
      if (left == 0) break;
      ::poll(nullptr, 0, left < kDsrPollMs ? left : kDsrPollMs);
      continue;
    }
    const ssize_t n = ::write(m_fd, data + done, length - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;
      break;
    }
    const int left = MillisecondsUntil(deadline);
    if (left == 0) break;
    struct pollfd p {
      m_fd, POLLOUT, 0
    };
    ::poll(&p, 1, left);
  }

  if (toggleRts) {
    // RTS drops once the bytes have left. tcdrain alone could wait for ever
    // on output held back by CTS, so the queue must empty in its line time
    // first; what flow control still holds then is not waited for.
    if (OutputDrained()) ::tcdrain(m_fd);
    SetModemLine(TIOCM_RTS, false);
  }
  if (error != 0) m_lastError = error;
  return {done, error};
}

bool PosixSerialDevice::GetModemStatus(unsigned* lines) {
  int status = 0;
  if (::ioctl(m_fd, TIOCMGET, &status) != 0) return false;
  *lines = ((status & TIOCM_CTS) ? kModemCts : 0u) | ((status & TIOCM_DSR) ? kModemDsr : 0u) |
           ((status & TIOCM_CAR) ? kModemDcd : 0u) | ((status & TIOCM_RNG) ? kModemRi : 0u);
  return true;
}

bool PosixSerialDevice::SetOutputLine(OutputLine line, bool high) {
  int bit = line == OutputLine::kDtr ? TIOCM_DTR : TIOCM_RTS;
  return ::ioctl(m_fd, high ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

ModemWait PosixSerialDevice::WaitModemChange() {
#ifdef TIOCMIWAIT
  int result = 0;
  int error = 0;
  const bool completed = m_modemWait.Run([&] {
    result = ::ioctl(m_fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG);
    error = result == 0 ? 0 : errno;
  });
  if (!completed) return ModemWait::kInterrupted;
  // EINTR: another signal; the lines are read again either way.
  if (result == 0 || error == EINTR) return ModemWait::kChanged;
  // Drivers that cannot wait (a pseudo-terminal, some USB adapters) say so
  // at once.
  if (error == ENOTTY || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
    return ModemWait::kUnsupported;
  }
  return ModemWait::kFailed;
#else
  return ModemWait::kUnsupported;
#endif
}

bool PosixSerialDevice::GetLineErrors(LineErrors* errors) {
#if defined(__linux__) && defined(TIOCGICOUNT)
  struct serial_icounter_struct count {};
  if (::ioctl(m_fd, TIOCGICOUNT, &count) != 0) return false;
  errors->overrun = static_cast<std::uint32_t>(count.overrun);
  errors->bufferOverrun = static_cast<std::uint32_t>(count.buf_overrun);
  errors->framing = static_cast<std::uint32_t>(count.frame);
  errors->parity = static_cast<std::uint32_t>(count.parity);
  errors->breaks = static_cast<std::uint32_t>(count.brk);
  return true;
#else
  (void)errors;
  return false;
#endif
}

std::size_t PosixSerialDevice::OutputQueued() {
  int queued = 0;
  if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<std::size_t>(queued);
}

WaitResult PosixSerialDevice::Wait(bool wantWrite, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    struct pollfd fds[2] = {
        {m_fd, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
        {m_wakeFd, POLLIN, 0},
    };
    const int ready = ::poll(fds, 2, timeoutMs < 0 ? -1 : MillisecondsUntil(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      m_lastError = errno;
      return WaitResult::kTimeout;
    }
    if (ready == 0) return WaitResult::kTimeout;
    if ((fds[1].revents & POLLIN) && ConsumeWakeFd(m_wakeFd)) return WaitResult::kWoken;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::kHangUp;
    if (fds[0].revents & (POLLIN | POLLOUT)) return WaitResult::kReady;
  }
}

PosixSerialBackend::PosixSerialBackend() : m_wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  m_openWake.fd = m_wakeFd;
}

PosixSerialBackend::~PosixSerialBackend() {
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

std::unique_ptr<SerialDevice> PosixSerialBackend::Open(const std::string& portName, int* error) {
  *error = 0;
  const std::string path = ResolvePortPath(portName);
  if (path.empty()) {
    *error = ENOENT;
    return nullptr;
  }
  if (IsNetworkPortName(path)) {
    const std::optional<NetworkPortName> address = ParseNetworkPortName(path);
    if (!address) {
      *error = kBadNetworkNameError;
      return nullptr;
    }
    return OpenNetworkDevice(*address, m_openWake, error);
  }
  // O_NONBLOCK: neither a modem device waiting for carrier nor a FIFO without
  // a writer may hold the worker here.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  // One opener at a time, as Windows allows: the lock keeps out other
  // programs that lock too, TIOCEXCL keeps out the rest (but not root).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    *error = EBUSY;
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);  // fails on what is no terminal; SetCommState says so
  return std::make_unique<PosixSerialDevice>(fd, m_wakeFd);
}

std::string PosixSerialBackend::ErrorText(int error) const {
  return IsNetworkError(error) ? NetworkErrorText(error) : SystemErrorText(error);
}

bool PosixSerialBackend::IsDeviceGone(int error) const {
  // A terminal that hung up, or a connection to a serial server that broke.
  return error == EIO || error == ENXIO || error == ENODEV || error == ECONNRESET ||
         error == EPIPE || error == ECONNABORTED || error == ETIMEDOUT || error == ENETDOWN ||
         error == ENETUNREACH || error == EHOSTUNREACH || error == ENOTCONN;
}

bool PosixSerialBackend::IsDeviceMissing(int error) const {
  // No such path, a path through something that is no directory, or a node
  // without a device behind it (a driver not loaded, an adapter not plugged).
  // A serial server that cannot be reached yet counts the same: it is looked
  // for again every 500 ms, as an adapter not plugged in.
  if (error == ENOENT || error == ENOTDIR || error == ENXIO || error == ENODEV) return true;
  if (error == ECONNREFUSED || error == ETIMEDOUT || error == EHOSTUNREACH ||
      error == ENETUNREACH || error == ENETDOWN || error == ECANCELED) {
    return true;
  }
  return IsNetworkError(error) && error != kBadNetworkNameError;
}

std::string PosixSerialBackend::OpenFailureAdvice(const std::string& portName, int error) const {
  return error == EACCES ? DeviceGroupAdvice(ResolvePortPath(portName)) : std::string();
}

WaitResult PosixSerialBackend::Sleep(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    struct pollfd p {
      m_wakeFd, POLLIN, 0
    };
    const int ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : MillisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0 && ConsumeWakeFd(m_wakeFd)) return WaitResult::kWoken;
    if (ready > 0) continue;  // another thread consumed it first
    return WaitResult::kTimeout;
  }
}

void PosixSerialBackend::Wake() {
  if (m_wakeFd < 0) return;
  const std::uint64_t one = 1;
  // Only a counter at its maximum refuses, and that is a pending wake-up too.
  [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

bool PosixSerialBackend::ConsumeWake() { return ConsumeWakeFd(m_wakeFd); }

std::unique_ptr<SerialBackend> CreatePlatformSerialBackend() {
  return std::make_unique<PosixSerialBackend>();
}

}  // namespace tarnwick
