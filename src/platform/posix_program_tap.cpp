// The tap on POSIX: a pseudo-terminal in packet mode, so a change of the far
// side's settings wakes the near side; on Linux inotify tells when programs
// open and close the far side.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/error_text.h"
#include "platform/posix_line_settings.h"
#include "platform/posix_tap_lock.h"
#include "port/program_tap.h"

namespace tarnwick {
namespace {

// The rates a program may set through the ordinary termios calls.
constexpr std::array<std::uint32_t, 30> kRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

std::uint32_t RateOf(speed_t speed) {
  for (const std::uint32_t rate : kRates) {
    speed_t constant;
    if (SpeedConstantOf(rate, &constant) && constant == speed) return rate;
  }
  return 0;
}

ProgramLine LineOf(const struct termios& tio) {
  ProgramLine line;
  line.baudRate = RateOf(::cfgetospeed(&tio));
  line.stopBits = (tio.c_cflag & CSTOPB) ? kTwoStopBits : kOneStopBit;
  return line;
}

class PosixProgramTap final : public ProgramTap {
 public:
  PosixProgramTap(int master, int keeper, std::string slave, std::string link, TapLock lock)
      : m_lock(std::move(lock)),
        m_master(master),
        m_keeper(keeper),
        m_slave(std::move(slave)),
        m_link(std::move(link)) {
    struct termios tio;
    if (::tcgetattr(m_keeper, &tio) == 0) m_line = LineOf(tio);
#ifdef __linux__
    m_events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_events >= 0 && ::inotify_add_watch(m_events, m_slave.c_str(), IN_OPEN | IN_CLOSE) < 0) {
      ::close(m_events);
      m_events = -1;
    }
#endif
  }

  ~PosixProgramTap() override {
    // Only our own link goes: whatever took its place since is left alone.
    // A link that stays (the directory refused) stays recorded, so the next
    // run may replace it; the lock goes last.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(m_link.c_str(), target, sizeof target);
    const bool ours = n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_slave;
    if (!ours || ::unlink(m_link.c_str()) == 0) m_lock.Forget();
    if (m_events >= 0) ::close(m_events);
    ::close(m_keeper);
    ::close(m_master);
  }

  int Descriptor() const override { return m_master; }
  int EventDescriptor() const override { return m_events; }

  void TakeEvents() override {
#ifdef __linux__
    if (m_events < 0) return;
    alignas(struct inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(m_events, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        if (event->mask & IN_OPEN) ++m_nOpeners;
        if ((event->mask & IN_CLOSE) && m_nOpeners > 0 && --m_nOpeners == 0) {
          // Bytes for the program that went stay behind in the far side's
          // input: the next program must not get them.
          ::tcflush(m_keeper, TCIFLUSH);
        }
        // The queue overflowed: opens were missed, so assume a program.
        if (event->mask & IN_Q_OVERFLOW) m_nOpeners = 1;
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
      }
    }
#endif
  }

  bool ProgramPresent() const override { return m_events < 0 || m_nOpeners > 0; }

  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override {
    // Packet mode: each read starts with a status byte, 0 before data.
    std::uint8_t packet[4097];
    const std::size_t want = std::min(capacity, sizeof packet - 1) + 1;
    for (;;) {
      const ssize_t n = ::read(m_master, packet, want);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EIO) {
        // No far side open any more (our keeper lost): hold it again.
        Reopen();
        return {};
      }
      if (n <= 0) return {0, n < 0 && errno != EAGAIN ? errno : 0};
      if (packet[0] != TIOCPKT_DATA) {
        m_bSettingsMayHaveChanged = true;
        return {};
      }
      std::memcpy(buffer, packet + 1, static_cast<std::size_t>(n - 1));
      // Settings change before data: a program that writes at once may
      // have set its rate first, and the notice can come after the data.
      m_bSettingsMayHaveChanged = true;
      return {static_cast<std::size_t>(n - 1), 0};
    }
  }

  IoResult Write(const std::uint8_t* data, std::size_t length) override {
    for (;;) {
      const ssize_t n = ::write(m_master, data, length);
      if (n >= 0) return {static_cast<std::size_t>(n), 0};
      if (errno == EINTR) continue;
      return {0, errno == EAGAIN ? 0 : errno};
    }
  }

  bool TakeLineChange(ProgramLine* line) override {
    if (!m_bSettingsMayHaveChanged) return false;
    m_bSettingsMayHaveChanged = false;
    struct termios tio;
    if (::tcgetattr(m_keeper, &tio) != 0) return false;
    const ProgramLine now = LineOf(tio);
    if (now == m_line) return false;
    m_line = now;
    *line = now;
    return true;
  }

 private:
  void Reopen() {
    const int fd = ::open(m_slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    ::close(m_keeper);
    m_keeper = fd;
  }

  TapLock m_lock;  // PATH is this run's while it is held
  int m_master;
  int m_keeper;  // the far side, held open so it keeps its settings
  int m_events = -1;
  std::string m_slave;
  std::string m_link;
  int m_nOpeners = 0;
  ProgramLine m_line;
  bool m_bSettingsMayHaveChanged = false;
};

std::string Reason(const std::string& path, const std::string& why) {
  return "Cannot offer the port at " + path + ": " + why;
}

}  // namespace

std::unique_ptr<ProgramTap> OpenProgramTap(const std::string& path, const DCB& dcb,
                                           std::string* error, std::string* notice) {
  if (path.empty()) {
    *error = Reason(path, "no path given.");
    return nullptr;
  }
  // The lock first: whoever holds it alone may look at PATH and change it.
  TapLock lock;
  std::string why;
  if (!lock.Take(path, &why)) {
    *error = Reason(path, why);
    return nullptr;
  }
  std::string replaced;  // the terminal a stale link named
  struct stat existing;
  if (::lstat(path.c_str(), &existing) == 0) {
    if (!lock.IsStaleLink(path)) {
      *error = Reason(path, "it exists already. Remove it or choose another path.");
      return nullptr;
    }
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    replaced.assign(target, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (::unlink(path.c_str()) != 0) {
      *error = Reason(path, SystemErrorText(errno));
      return nullptr;
    }
  }
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    *error = Reason(path, SystemErrorText(errno));
    if (master >= 0) ::close(master);
    return nullptr;
  }
  char slaveName[128];
  if (::ptsname_r(master, slaveName, sizeof slaveName) != 0) {
    *error = Reason(path, SystemErrorText(errno));
    ::close(master);
    return nullptr;
  }
  const std::string slave = slaveName;
  const int keeper = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  struct termios tio;
  if (keeper < 0 || ::tcgetattr(keeper, &tio) != 0) {
    *error = Reason(path, SystemErrorText(errno));
    if (keeper >= 0) ::close(keeper);
    ::close(master);
    return nullptr;
  }
  // Raw both ways: no echo, no line editing, no CR/LF translation, no
  // XON/XOFF. EXTPROC with packet mode makes every settings change of the
  // program a notice on the near side.
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_lflag |= EXTPROC;
  tio.c_cflag |= CLOCAL | CREAD;
  if (dcb.StopBits == kTwoStopBits) tio.c_cflag |= CSTOPB;
  speed_t speed;
  if (SpeedConstantOf(dcb.BaudRate, &speed)) ::cfsetspeed(&tio, speed);
  int packet = 1;
  if (::tcsetattr(keeper, TCSANOW, &tio) != 0 || ::ioctl(master, TIOCPKT, &packet) != 0) {
    *error = Reason(path, SystemErrorText(errno));
    ::close(keeper);
    ::close(master);
    return nullptr;
  }
  // symlink never replaces: a path that appeared since the look above is
  // refused here all the same.
  if (::symlink(slave.c_str(), path.c_str()) != 0) {
    const int code = errno;
    *error = code == EEXIST ? Reason(path, "it exists already. Remove it or choose another path.")
                            : Reason(path, SystemErrorText(code));
    ::close(keeper);
    ::close(master);
    return nullptr;
  }
  lock.Record(slave);
  if (notice != nullptr && !replaced.empty()) {
    *notice = "Offering the port at " + path + ": replaced the link to " + replaced +
              " that a run which ended without removing it left there.";
  }
  return std::make_unique<PosixProgramTap>(master, keeper, slave, path, std::move(lock));
}

}  // namespace tarnwick
