#include "platform/win32_serial.h"

#include <string>

#include "display/ansi_code_page.h"

namespace tarnwick {

namespace {

// A synchronous COM handle cannot be waited on beside the wake-up event, so
// Wait looks at the input queue this often while it waits for the event.
constexpr DWORD kQueuePollMs = 10;

// Consumes a pending wake-up; true when there was one.
bool ConsumeWake(HANDLE wakeEvent) {
  if (wakeEvent == nullptr || ::WaitForSingleObject(wakeEvent, 0) != WAIT_OBJECT_0) return false;
  ::ResetEvent(wakeEvent);
  return true;
}

// Milliseconds left of a wait that started at start; INFINITE for no limit.
DWORD MillisecondsLeft(int timeoutMs, ULONGLONG start) {
  if (timeoutMs < 0) return INFINITE;
  const ULONGLONG elapsed = ::GetTickCount64() - start;
  const ULONGLONG limit = static_cast<ULONGLONG>(timeoutMs);
  return elapsed >= limit ? 0 : static_cast<DWORD>(limit - elapsed);
}

}  // namespace

Win32SerialDevice::Win32SerialDevice(HANDLE port, HANDLE wakeEvent)
    : m_hPort(port), m_hWakeEvent(wakeEvent) {}

Win32SerialDevice::~Win32SerialDevice() { ::CloseHandle(m_hPort); }

bool Win32SerialDevice::Fail() {
  m_lastError = static_cast<int>(::GetLastError());
  return false;
}

bool Win32SerialDevice::SetCommState(const DCB& dcb) {
  DCB copy = dcb;  // the call takes a non-const pointer
  return ::SetCommState(m_hPort, &copy) ? true : Fail();
}

bool Win32SerialDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
  COMMTIMEOUTS copy = timeouts;
  return ::SetCommTimeouts(m_hPort, &copy) ? true : Fail();
}

IoResult Win32SerialDevice::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (capacity == 0) return {};
  const DWORD wanted = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  DWORD got = 0;
  if (!::ReadFile(m_hPort, buffer, wanted, &got, nullptr)) {
    Fail();
    return {got, m_lastError};
  }
  return {got, 0};
}

IoResult Win32SerialDevice::Write(const std::uint8_t* data, std::size_t length) {
  if (length == 0) return {};
  const DWORD wanted = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
  DWORD written = 0;
  if (!::WriteFile(m_hPort, data, wanted, &written, nullptr)) {
    Fail();
    return {written, m_lastError};
  }
  return {written, 0};  // fewer than asked: the write timeout ran out
}

// A synchronous WriteFile on the standard serial driver returns once the byte
// has gone to the UART, so the queue reads 0 there; drivers that complete a
// write as soon as it is buffered (USB adapters) report what they still hold.
std::size_t Win32SerialDevice::OutputQueued() {
  COMSTAT status{};
  if (!ClearErrors(&status)) return 0;
  return status.cbOutQue;
}

bool Win32SerialDevice::ClearErrors(COMSTAT* status) {
  DWORD flags = 0;
  // The caller may ask GetLastError about a failure.
  if (!::ClearCommError(m_hPort, &flags, status)) return false;
  if (flags == 0) return true;
  // One flag may stand for several errors since the last call; each counts once.
  std::lock_guard lock(m_csErrors);
  if (flags & CE_OVERRUN) ++m_errors.overrun;
  if (flags & CE_RXOVER) ++m_errors.bufferOverrun;
  if (flags & CE_FRAME) ++m_errors.framing;
  if (flags & CE_RXPARITY) ++m_errors.parity;
  if (flags & CE_BREAK) ++m_errors.breaks;
  return true;
}

bool Win32SerialDevice::GetModemStatus(unsigned* lines) {
  DWORD status = 0;
  if (!::GetCommModemStatus(m_hPort, &status)) return false;
  *lines = ((status & MS_CTS_ON) ? kModemCts : 0u) | ((status & MS_DSR_ON) ? kModemDsr : 0u) |
           ((status & MS_RLSD_ON) ? kModemDcd : 0u) | ((status & MS_RING_ON) ? kModemRi : 0u);
  return true;
}

bool Win32SerialDevice::SetOutputLine(OutputLine line, bool high) {
  const DWORD function =
      line == OutputLine::kDtr ? (high ? SETDTR : CLRDTR) : (high ? SETRTS : CLRRTS);
  return ::EscapeCommFunction(m_hPort, function) != 0;
}

// WaitModemChange stays unsupported, so the lines are looked at ten times a
// second: the handle is synchronous, and on such a handle a pending
// WaitCommEvent would hold up every ReadFile and WriteFile behind it.
bool Win32SerialDevice::GetLineErrors(LineErrors* errors) {
  COMSTAT status{};
  if (!ClearErrors(&status)) return false;
  std::lock_guard lock(m_csErrors);
  *errors = m_errors;
  return true;
}

WaitResult Win32SerialDevice::Wait(bool wantWrite, int timeoutMs) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    if (ConsumeWake(m_hWakeEvent)) return WaitResult::kWoken;
    COMSTAT status{};
    if (!ClearErrors(&status)) {
      Fail();
      return WaitResult::kHangUp;  // the driver no longer answers: unplugged
    }
    // Writes are bounded by the write timeout, so output can always be taken.
    if (status.cbInQue > 0 || wantWrite) return WaitResult::kReady;
    const DWORD left = MillisecondsLeft(timeoutMs, start);
    if (left == 0) return WaitResult::kTimeout;
    const DWORD pause = left < kQueuePollMs ? left : kQueuePollMs;
    if (m_hWakeEvent != nullptr) {
      ::WaitForSingleObject(m_hWakeEvent, pause);
    } else {
      ::Sleep(pause);
    }
  }
}

Win32SerialBackend::Win32SerialBackend()
    : m_hWakeEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Win32SerialBackend::~Win32SerialBackend() {
  if (m_hWakeEvent != nullptr) ::CloseHandle(m_hWakeEvent);
}

std::unique_ptr<SerialDevice> Win32SerialBackend::Open(const std::string& portName, int* error) {
  *error = 0;
  // No sharing, synchronous: a second opener is refused with access denied.
  const HANDLE port = ::CreateFileA(portName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    *error = static_cast<int>(::GetLastError());
    return nullptr;
  }
  return std::make_unique<Win32SerialDevice>(port, m_hWakeEvent);
}

std::string Win32SerialBackend::ErrorText(int error) const {
  // The English sentence where the system has one, whatever the user's
  // language, taken wide so each character reaches the display's code page.
  wchar_t* message = nullptr;
  DWORD length = 0;
  for (const WORD language :
       {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)}) {
    length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), language, reinterpret_cast<LPWSTR>(&message), 0,
        nullptr);
    if (length != 0 && message != nullptr) break;
  }
  std::string text;
  for (DWORD i = 0; message != nullptr && i < length; ++i) {
    const wchar_t c = message[i];
    if (c >= 0xDC00 && c <= 0xDFFF) continue;  // second half of a pair: one character
    // A pair stands for a character beyond the code page.
    text.push_back(static_cast<char>(UnicodeToAnsi(c >= 0xD800 && c <= 0xDBFF ? 0x10000 : c)));
  }
  if (message != nullptr) ::LocalFree(message);
  // The system's sentence ends in CR LF; the status is drawn as one line.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool Win32SerialBackend::IsDeviceGone(int error) const {
  switch (error) {
    case ERROR_ACCESS_DENIED:  // what a removed USB adapter's handle answers
    case ERROR_BAD_COMMAND:
    case ERROR_NOT_READY:  // what writes to a line whose far end hung up answer
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
      return true;
    default:
      return false;
  }
}

bool Win32SerialBackend::IsDeviceMissing(int error) const {
  // A COM name that no driver has claimed (yet): the adapter is not plugged.
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_DEV_NOT_EXIST;
}

WaitResult Win32SerialBackend::Sleep(int timeoutMs) {
  if (m_hWakeEvent == nullptr) {
    ::Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    return WaitResult::kTimeout;
  }
  const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  if (::WaitForSingleObject(m_hWakeEvent, wait) == WAIT_OBJECT_0) {
    ::ResetEvent(m_hWakeEvent);
    return WaitResult::kWoken;
  }
  return WaitResult::kTimeout;
}

void Win32SerialBackend::Wake() {
  if (m_hWakeEvent != nullptr) ::SetEvent(m_hWakeEvent);
}

std::unique_ptr<SerialBackend> CreatePlatformSerialBackend() {
  return std::make_unique<Win32SerialBackend>();
}

}  // namespace tarnwick
