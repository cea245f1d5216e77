#include "platform/posix_network_device.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix_wait.h"

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// How long a name lookup and a connect may take before the open fails (and
// is tried again 500 ms later, as a missing device is).
constexpr auto kLookupLimit = std::chrono::seconds(10);
constexpr auto kConnectLimit = std::chrono::seconds(10);
constexpr std::size_t kReceiveChunk = 16 * 1024;

// Polls fd for events and the wake-up until deadline: the revents of fd, 0
// on timeout, -1 after a wake-up that gives the open up.
int PollOrWake(int fd, short events, const OpenWake& wake, Clock::time_point deadline) {
  for (;;) {
    struct pollfd fds[2] = {{fd, events, 0}, {wake.fd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, MillisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return 0;
    if ((fds[1].revents & POLLIN) && wake.EndsWait()) return -1;
    if (fds[0].revents != 0) return fds[0].revents;
  }
}

// A lookup on a thread of its own, so that the worker can walk away from it:
// the thread frees what it found when nobody waits any more.
struct Lookup {
  std::mutex mutex;
  addrinfo* result = nullptr;
  int status = EAI_AGAIN;
  int systemError = 0;
  int doneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  ~Lookup() {
    if (result != nullptr) ::freeaddrinfo(result);
    if (doneFd >= 0) ::close(doneFd);
  }
};

int LookupError(int status, int systemError) {
  if (status == EAI_SYSTEM) return systemError != 0 ? systemError : EIO;
  return kLookupErrorBase + (status < 0 ? -status : status);
}

// The addresses of name; 0 or the error.
int Resolve(const NetworkPortName& name, const OpenWake& wake, addrinfo** found) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
  // An address needs no lookup.
  if (::getaddrinfo(name.strHost.c_str(), name.strPort.c_str(), &hints, found) == 0) return 0;
  auto lookup = std::make_shared<Lookup>();
  if (lookup->doneFd < 0) return errno;
  hints.ai_flags = AI_NUMERICSERV;
  std::thread([lookup, hints, host = name.strHost, port = name.strPort] {
    addrinfo* result = nullptr;
    const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
    std::lock_guard lock(lookup->mutex);
    lookup->result = result;
    lookup->status = status;
    lookup->systemError = status == EAI_SYSTEM ? errno : 0;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(lookup->doneFd, &one, sizeof one);
  }).detach();
  const int events = PollOrWake(lookup->doneFd, POLLIN, wake, Clock::now() + kLookupLimit);
  if (events < 0) return ECANCELED;
  if (events == 0) return ETIMEDOUT;
  std::lock_guard lock(lookup->mutex);
  if (lookup->status != 0) return LookupError(lookup->status, lookup->systemError);
  *found = lookup->result;
  lookup->result = nullptr;
  return 0;
}

// Connects to the first address that answers; the socket or -1 and the error.
int Connect(addrinfo* addresses, const OpenWake& wake, int* error) {
  const Clock::time_point deadline = Clock::now() + kConnectLimit;
  *error = EADDRNOTAVAIL;
  for (addrinfo* address = addresses; address != nullptr; address = address->ai_next) {
    const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address->ai_protocol);
    if (fd < 0) {
      *error = errno;
      continue;
    }
    if (::connect(fd, address->ai_addr, address->ai_addrlen) == 0) return fd;
    if (errno != EINPROGRESS) {
      *error = errno;
      ::close(fd);
      continue;
    }
    const int events = PollOrWake(fd, POLLOUT, wake, deadline);
    if (events < 0) {
      ::close(fd);
      *error = ECANCELED;
      return -1;
    }
    int soError = ETIMEDOUT;
    socklen_t length = sizeof soError;
    if (events != 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0)
      soError = errno;
    if (soError == 0) return fd;
    *error = soError;
    ::close(fd);
  }
  return -1;
}

}  // namespace

std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkPortName& name, const OpenWake& wake,
                                                int* error) {
  addrinfo* addresses = nullptr;
  *error = Resolve(name, wake, &addresses);
  if (*error != 0) return nullptr;
  const int fd = Connect(addresses, wake, error);
  ::freeaddrinfo(addresses);
  if (fd < 0) return nullptr;
  // A server that vanished without a word (a cable pulled, a power cut) is a
  // lost port within seconds, not the system's two hours.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#if defined(TCP_KEEPIDLE) && defined(TCP_KEEPINTVL) && defined(TCP_KEEPCNT)
  const int idleSeconds = 5, intervalSeconds = 2, probes = 3;
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#endif
#ifdef TCP_USER_TIMEOUT
  const unsigned unackedMs = 11000;  // sent data unacknowledged this long: gone
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unackedMs, sizeof unackedMs);
#endif
  *error = 0;
  return std::make_unique<PosixNetworkDevice>(fd, wake, name.bRfc2217);
}

std::string NetworkErrorText(int error) {
  if (error == kBadNetworkNameError) {
    return "not a network port: use rfc2217://HOST:PORT or tcp://HOST:PORT";
  }
  if (error >= kLookupErrorBase && IsNetworkError(error)) {
    return ::gai_strerror(-(error - kLookupErrorBase));
  }
  return {};
}

PosixNetworkDevice::PosixNetworkDevice(int fd, OpenWake wake, bool rfc2217)
    : m_fd(fd), m_wake(std::move(wake)), m_bTelnet(rfc2217) {}

PosixNetworkDevice::~PosixNetworkDevice() { ::close(m_fd); }

bool PosixNetworkDevice::Fail(int error) {
  m_lastError = error;
  return false;
}

bool PosixNetworkDevice::SetCommState(const DCB& dcb) {
  m_dcb = dcb;
  if (!m_bTelnet) return true;
  std::vector<std::uint8_t> out;
  if (!m_bStarted) {
    m_session.Start(true, out);
    m_bStarted = true;
  }
  for (const ComPortCommand& command : ComPortSettings(dcb)) {
    AppendComPortCommand(command, out);
    m_session.Expect();
  }
  if (const int error = Send(out); error != 0) return Fail(error);
  // What a server leaves unanswered (ser2net on a pseudo-terminal answers
  // no line commands) costs this second once, not a failure.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kAnswerMs);
  while (m_session.Answering()) {
    const short events = static_cast<short>(POLLIN | (OutputPending() ? POLLOUT : 0));
    const int revents = PollOrWake(m_fd, events, m_wake, deadline);
    if (revents <= 0) break;  // time is up, or the worker stops or reopens
    if (revents & POLLOUT) {
      std::lock_guard lock(m_csSend);
      if (const int error = FlushLocked(); error != 0) return Fail(error);
    }
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
      if (const int error = ReceiveSome(); error != 0) return Fail(error);
    }
  }
  m_bComPort.store(m_session.ComPort());
  std::lock_guard lock(m_csModem);
  m_nWaitedVersion = m_nModemVersion;
  return true;
}

// Reads return at once, as the record's timeouts ask, and writes never wait
// (see Write): there is nothing for the timeouts to limit.
bool PosixNetworkDevice::SetCommTimeouts(const COMMTIMEOUTS&) { return true; }

int PosixNetworkDevice::FlushLocked() {
  if (m_sendError != 0) return m_sendError;
  std::size_t done = 0;
  while (done < m_out.size()) {
    const ssize_t n = ::send(m_fd, m_out.data() + done, m_out.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    m_sendError = n < 0 ? errno : EPIPE;
    break;
  }
  m_out.erase(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(done));
  return m_sendError;
}

int PosixNetworkDevice::Send(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(m_csSend);
  m_out.insert(m_out.end(), bytes.begin(), bytes.end());
  return FlushLocked();
}

bool PosixNetworkDevice::OutputPending() {
  std::lock_guard lock(m_csSend);
  return !m_out.empty();
}

int PosixNetworkDevice::ReceiveSome() {
  std::uint8_t raw[kReceiveChunk];
  for (;;) {
    const ssize_t n = ::recv(m_fd, raw, sizeof raw, 0);
    if (n > 0) {
      if (m_inPos == m_in.size()) {
        m_in.clear();
        m_inPos = 0;
      }
      if (!m_bTelnet) {
        m_in.insert(m_in.end(), raw, raw + n);
        return 0;
      }
      std::vector<std::uint8_t> replies;
      m_session.Receive(raw, static_cast<std::size_t>(n), m_in, replies);
      PublishModemState();
      return replies.empty() ? 0 : Send(replies);
    }
    if (n == 0) return ECONNRESET;  // the server closed the connection
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return errno;
  }
}

void PosixNetworkDevice::PublishModemState() {
  if (m_session.ModemStateCount() == m_nStatesSeen) return;
  m_nStatesSeen = m_session.ModemStateCount();
  m_nLines.store(ModemLinesOfState(m_session.ModemState()));
  std::lock_guard lock(m_csModem);
  ++m_nModemVersion;
  m_modemChanged.notify_all();
}

IoResult PosixNetworkDevice::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (capacity == 0) return {};
  if (m_inPos == m_in.size()) {
    if (const int error = ReceiveSome(); error != 0) {
      m_lastError = error;
      return {0, error};
    }
  }
  // DSR sensitivity: what arrives while the server says DSR is low is dropped.
  if (m_dcb.fDsrSensitivity && m_bComPort.load() && m_nStatesSeen > 0 &&
      !(m_nLines.load() & kModemDsr)) {
    m_inPos = m_in.size();
    return {};
  }
  const std::size_t count = std::min(capacity, m_in.size() - m_inPos);
  std::memcpy(buffer, m_in.data() + m_inPos, count);
  m_inPos += count;
  return {count, 0};
}

IoResult PosixNetworkDevice::Write(const std::uint8_t* data, std::size_t length) {
  if (length == 0) return {};
  std::lock_guard lock(m_csSend);
  // New data waits until the socket has taken the old, so what counts as
  // written is in the kernel's hands, not ours.
  if (const int error = FlushLocked(); error != 0) {
    m_lastError = error;
    return {0, error};
  }
  if (!m_out.empty()) return {};
  if (m_bTelnet) {
    m_session.Escape(data, length, m_out);
  } else {
    m_out.insert(m_out.end(), data, data + length);
  }
  if (const int error = FlushLocked(); error != 0) {
    m_lastError = error;
    return {0, error};
  }
  return {length, 0};
}

int PosixNetworkDevice::SendHeldOutput() {
  std::lock_guard lock(m_csSend);
  const int error = FlushLocked();
  if (error != 0) m_lastError = error;
  return error;
}

WaitResult PosixNetworkDevice::Wait(bool wantWrite, int timeoutMs) {
  if (m_inPos < m_in.size()) return WaitResult::kReady;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool pending = OutputPending();
    struct pollfd fds[2] = {
        {m_fd, static_cast<short>(POLLIN | (wantWrite || pending ? POLLOUT : 0)), 0},
        {m_wake.fd, POLLIN, 0},
    };
    const int ready = ::poll(fds, 2, timeoutMs < 0 ? -1 : MillisecondsUntil(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      m_lastError = errno;
      return WaitResult::kTimeout;
    }
    if (ready == 0) return WaitResult::kTimeout;
    if ((fds[1].revents & POLLIN) && ConsumeWakeFd(m_wake.fd)) return WaitResult::kWoken;
    // What is left to read comes first; the read then meets the end.
    if (fds[0].revents & POLLIN) return WaitResult::kReady;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::kHangUp;
    if (fds[0].revents & POLLOUT) {
      if (pending) {
        std::lock_guard lock(m_csSend);
        if (FlushLocked() != 0) return WaitResult::kHangUp;
      }
      if (wantWrite) return WaitResult::kReady;
    }
  }
}

bool PosixNetworkDevice::GetModemStatus(unsigned* lines) {
  if (!m_bComPort.load()) return false;
  *lines = m_nLines.load();
  return true;
}

bool PosixNetworkDevice::SetOutputLine(OutputLine line, bool high) {
  if (!m_bComPort.load()) return false;
  const std::uint8_t value = line == OutputLine::kDtr ? (high ? telnet::kDtrOn : telnet::kDtrOff)
                                                      : (high ? telnet::kRtsOn : telnet::kRtsOff);
  std::vector<std::uint8_t> out;
  AppendComPortCommand({telnet::kSetControl, {value}}, out);
  return Send(out) == 0;
}

ModemWait PosixNetworkDevice::WaitModemChange() {
  if (!m_bComPort.load()) return ModemWait::kUnsupported;
  std::unique_lock lock(m_csModem);
  m_modemChanged.wait(lock, [this] { return m_bInterrupt || m_nModemVersion != m_nWaitedVersion; });
  if (m_bInterrupt) {
    m_bInterrupt = false;
    return ModemWait::kInterrupted;
  }
  m_nWaitedVersion = m_nModemVersion;
  return ModemWait::kChanged;
}

void PosixNetworkDevice::InterruptModemWait() {
  std::lock_guard lock(m_csModem);
  m_bInterrupt = true;
  m_modemChanged.notify_all();
}

}  // namespace tarnwick
