// The tap end to end: a program on the tap's path and a device on a
// pseudo-terminal talk through the worker, both ways at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "display/screen_model.h"
#include "platform/posix_tap_lock.h"
#include "port/conversation.h"
#include "port/port_worker.h"
#include "port/scoped_env.h"
#include "support/pseudo_terminal.h"
#include "support/temp_dir.h"
#include "transmit/send_queue.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Nothing moved either way for this long: a stream that should run flat out
// has stalled. The whole exchange may take at most kExchangeLimit.
constexpr auto kStallLimit = std::chrono::seconds(3);
constexpr auto kExchangeLimit = std::chrono::seconds(10);

// Writes out and reads until expected bytes came back on fd, both at once,
// as a program that streams does; gives up once it stalls.
std::vector<std::uint8_t> Exchange(int fd, const std::vector<std::uint8_t>& out,
                                   std::size_t expected) {
  std::vector<std::uint8_t> in;
  std::size_t sent = 0;
  const auto deadline = Clock::now() + kExchangeLimit;
  auto lastMove = Clock::now();
  while ((sent < out.size() || in.size() < expected) && Clock::now() < deadline &&
         Clock::now() - lastMove < kStallLimit) {
    struct pollfd p {
      fd, static_cast<short>(POLLIN | (sent < out.size() ? POLLOUT : 0)), 0
    };
    if (::poll(&p, 1, 100) <= 0) continue;
    if (p.revents & POLLIN) {
      std::uint8_t buffer[8192];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        in.insert(in.end(), buffer, buffer + n);
        lastMove = Clock::now();
      }
    }
    if ((p.revents & POLLOUT) && sent < out.size()) {
      const ssize_t n =
          ::write(fd, out.data() + sent, std::min<std::size_t>(4096, out.size() - sent));
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        lastMove = Clock::now();
      }
    }
  }
  return in;
}

// "" when received is sent; otherwise which direction went wrong, and how far.
std::string Arrived(const char* direction, const std::vector<std::uint8_t>& received,
                    const std::vector<std::uint8_t>& sent) {
  if (received == sent) return "";
  const auto differs = std::mismatch(received.begin(), received.end(), sent.begin(), sent.end());
  return std::string(direction) + ": " + std::to_string(received.size()) + " of " +
         std::to_string(sent.size()) + " bytes arrived, the first " +
         std::to_string(differs.first - received.begin()) + " as sent" +
         (received.size() < sent.size() ? " (stalled)" : "");
}

class ProgramTap : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_device.ok());
    m_settings.bSaveRaw = 1;
    std::strcpy(m_settings.szRawFile, m_dir.File("raw.bin").c_str());
    m_live.Publish();
    ConversationOptions options;
    options.strTapPath = m_tapPath;
    m_worker.SetConversation(options);
    m_worker.Start();
    ASSERT_TRUE(Eventually([&] { return m_worker.m_bPortOpen.load(); }));
    ASSERT_TRUE(Eventually([&] { return std::filesystem::is_symlink(m_tapPath); }))
        << m_worker.ConversationStatus();
  }

  int OpenProgram() { return ::open(m_tapPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); }

  TempDir m_dir;
  std::string m_tapPath = m_dir.File("tap");
  PseudoTerminal m_device;
  ScopedEnv m_com1{"TARNWICK_COM1", m_device.path()};
  SETTINGS m_settings = DefaultSettings();
  LiveSettings m_live{m_settings};
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  PortWorker m_worker{m_live, *m_backend, nullptr, nullptr};
};

TEST_F(ProgramTap, CarriesAMebibyteEachWayAtOnceAndLogsBoth) {
  const int program = OpenProgram();
  ASSERT_GE(program, 0);
  const auto fromDevice = RandomBytes(1 << 20, 1);
  const auto fromProgram = RandomBytes(1 << 20, 2);
  std::vector<std::uint8_t> atProgram;
  std::thread programSide([&] { atProgram = Exchange(program, fromProgram, fromDevice.size()); });
  const auto atDevice = Exchange(m_device.master(), fromDevice, fromProgram.size());
  programSide.join();
  ::close(program);

  EXPECT_EQ(Arrived("device to program", atProgram, fromDevice), "");
  EXPECT_EQ(Arrived("program to device", atDevice, fromProgram), "");
  // The counters follow the device's write and read by a moment.
  EXPECT_TRUE(Eventually([&] { return m_worker.m_nBytesWritten.load() == 1 << 20; }));
  EXPECT_TRUE(Eventually([&] { return m_worker.m_nBytesRead.load() == 1 << 20; }));
  m_worker.Stop();
  const auto raw = ReadBytes(m_dir.File("raw.bin"));
  const auto sent = ReadBytes(m_dir.File("raw.sent.bin"));
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), fromDevice.begin(), fromDevice.end()));
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), fromProgram.begin(), fromProgram.end()));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(m_tapPath)))
      << "the link goes with the worker";
}

// The program meets a raw line: no echo, no line editing, no signals, no
// CR/LF translation, no XON/XOFF, 8 bits; each would change or hold bytes.
TEST_F(ProgramTap, ProgramFindsTheLineRaw) {
  const int program = OpenProgram();
  ASSERT_GE(program, 0);
  struct termios tio;
  ASSERT_EQ(::tcgetattr(program, &tio), 0);
  ::close(program);
  const struct {
    const char* name;
    tcflag_t termios::*field;
    tcflag_t mask;
    tcflag_t wanted;
  } flags[] = {
      {"ICANON", &termios::c_lflag, ICANON, 0}, {"ECHO", &termios::c_lflag, ECHO, 0},
      {"ISIG", &termios::c_lflag, ISIG, 0},     {"IEXTEN", &termios::c_lflag, IEXTEN, 0},
      {"ICRNL", &termios::c_iflag, ICRNL, 0},   {"INLCR", &termios::c_iflag, INLCR, 0},
      {"IGNCR", &termios::c_iflag, IGNCR, 0},   {"ISTRIP", &termios::c_iflag, ISTRIP, 0},
      {"IXON", &termios::c_iflag, IXON, 0},     {"IXOFF", &termios::c_iflag, IXOFF, 0},
      {"OPOST", &termios::c_oflag, OPOST, 0},   {"CS8", &termios::c_cflag, CSIZE, CS8},
      {"PARENB", &termios::c_cflag, PARENB, 0},
  };
  for (const auto& flag : flags) EXPECT_EQ(tio.*flag.field & flag.mask, flag.wanted) << flag.name;
}

// Between two programs the device speaks: the bytes are logged, and the next
// program starts with what comes after it opened. Its rate and stop bits
// reach the device.
TEST_F(ProgramTap, NextProgramGetsNothingOldAndItsRateReachesTheDevice) {
  int program = OpenProgram();
  ASSERT_GE(program, 0);
  ::close(program);
  ASSERT_TRUE(m_device.Write(std::string("old")));
  ASSERT_TRUE(Eventually([&] { return m_worker.m_nBytesRead.load() == 3; }));

  program = OpenProgram();
  ASSERT_GE(program, 0);
  struct termios tio;
  ASSERT_EQ(::tcgetattr(program, &tio), 0);
  ::cfsetspeed(&tio, B115200);
  tio.c_cflag |= CSTOPB;
  ASSERT_EQ(::tcsetattr(program, TCSANOW, &tio), 0);
  ASSERT_TRUE(m_device.Write(std::string("new")));
  EXPECT_EQ(Exchange(program, {'h', 'i'}, 3), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(m_device.Read(2, 5000), (std::vector<std::uint8_t>{'h', 'i'}));
  ::close(program);

  struct termios device;
  ASSERT_EQ(::tcgetattr(m_device.keeper(), &device), 0);
  EXPECT_EQ(::cfgetospeed(&device), static_cast<speed_t>(B115200));
  EXPECT_TRUE(device.c_cflag & CSTOPB);
  m_worker.Stop();
  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")),
            (std::vector<unsigned char>{'o', 'l', 'd', 'n', 'e', 'w'}));
}

// Sent-direction bytes as the sink hears them, on the worker's thread.
class SentRecorder : public SentDataSink {
 public:
  void OnSent(const std::uint8_t* data, std::size_t length, const ReadTime&) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_text.append(reinterpret_cast<const char*>(data), length);
  }
  std::string Text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_text;
  }

 private:
  mutable std::mutex m_mutex;
  std::string m_text;
};

// A hardware tap: the second port's bytes are the sent direction, on the
// screen in the order the two ports were read; what Send data writes joins
// them when shown.
TEST(SecondPort, ItsBytesAndShownSendsAreTheSentDirectionInReadOrder) {
  PseudoTerminal device, second;
  ASSERT_TRUE(device.ok() && second.ok());
  TempDir dir;
  ScopedEnv com1("TARNWICK_COM1", device.path()), com2("TARNWICK_COM2", second.path());
  SETTINGS settings = DefaultSettings();
  settings.nUnitFormatIndex = kFormatText;
  settings.nColumns = 0;  // a CR ends a line
  settings.bSaveRaw = 1;
  std::strcpy(settings.szRawFile, dir.File("raw").c_str());
  LiveSettings live{settings};
  ScreenModel model{live, nullptr};
  auto backend = CreatePlatformSerialBackend();
  SentRecorder recorder;
  PortWorker worker{live, *backend, &model, nullptr};
  worker.SetSentDataSink(&recorder);
  ConversationOptions options;
  options.strAlsoListenOn = "COM2";
  options.bShowSentData = true;
  worker.SetConversation(options);
  worker.Start();
  ASSERT_TRUE(Eventually([&] { return worker.m_bPortOpen.load(); }));

  const auto shown = [&] {
    std::string text;
    const auto lines = model.Lines();
    const auto directions = model.LineDirections();
    for (std::size_t i = 0; i < lines.size(); ++i)
      text += (directions[i] == LineDirection::kSent ? ">" : "<") + lines[i] + "|";
    return text;
  };
  const struct {
    PseudoTerminal* port;
    const char* bytes;
    const char* screen;  // the screen after the step
  } steps[] = {{&second, "AT\r", ">AT|"},
               {&device, "OK\r", ">AT|<OK|"},
               {&second, "AT+X", ">AT|<OK|>AT+X|"},
               {&device, "ERR", ">AT|<OK|>AT+X|<ERR|"}};
  for (const auto& step : steps) {
    ASSERT_TRUE(step.port->Write(std::string(step.bytes)));
    ASSERT_TRUE(Eventually([&] { return shown() == step.screen; })) << shown();
  }
  const std::uint8_t block[] = {'h', 'i'};
  worker.HandOver(block, 2);
  ASSERT_TRUE(Eventually([&] { return shown() == ">AT|<OK|>AT+X|<ERR|>hi|"; })) << shown();
  worker.Stop();
  const std::string sent = "AT\rAT+Xhi";
  EXPECT_EQ(recorder.Text(), sent);
  EXPECT_EQ(ReadBytes(dir.File("raw")),
            (std::vector<unsigned char>{'O', 'K', '\r', 'E', 'R', 'R'}));
  EXPECT_EQ(ReadBytes(dir.File("raw.sent")), std::vector<unsigned char>(sent.begin(), sent.end()));
}

// The writers that share the device: the Send data dialog's block, the tap
// program's bytes and the send queue's blocks. Two at once, every block
// arrives whole (nothing of another writer inside it), each byte is counted
// once, the sink hears all of them in the order written, and the sent raw
// log holds what is shown as sent: the tap's bytes always, this program's
// own when "Show sent data" is on.
struct TwoWriters {
  const char* name;
  bool dialog, tap, queue;
  bool showSent;
};

void PrintTo(const TwoWriters& c, std::ostream* os) { *os << c.name; }

class SharedLine : public ProgramTap, public ::testing::WithParamInterface<TwoWriters> {};

TEST_P(SharedLine, BlocksArriveWholeAndAreCountedOnce) {
  const TwoWriters& c = GetParam();
  SentRecorder recorder;
  m_worker.SetSentDataSink(&recorder);
  ConversationOptions options;
  options.strTapPath = m_tapPath;
  options.bShowSentData = c.showSent;
  m_worker.SetConversation(options);
  const int program = OpenProgram();
  ASSERT_GE(program, 0);

  // Each queue block is one byte value of its own, 0x80 + n; the dialog's
  // is 'D'; the tap's 'T'.
  constexpr int kQueueBlocks = 30;
  constexpr std::size_t kQueueBlock = 100, kDialogBlock = 3000, kTapBytes = 3000;
  std::size_t total = 0;
  if (c.queue) {
    for (int n = 0; n < kQueueBlocks; ++n) {
      ASSERT_TRUE(m_worker.Queue().Push(SendOrigin{SendSource::kMacro, 1},
                                        std::vector<std::uint8_t>(kQueueBlock, 0x80 + n)));
    }
    total += kQueueBlocks * kQueueBlock;
  }
  if (c.tap) {
    const std::vector<std::uint8_t> bytes(kTapBytes, 'T');
    ASSERT_EQ(::write(program, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    total += kTapBytes;
  }
  const std::vector<std::uint8_t> block(kDialogBlock, 'D');
  if (c.dialog) {
    m_worker.HandOver(block.data(), static_cast<std::int32_t>(block.size()));
    total += kDialogBlock;
  }
  const std::vector<std::uint8_t> line = m_device.ReadWhileFlowing(total, 3000);
  ASSERT_EQ(line.size(), total);
  ::close(program);

  // A block is whole when its first and last byte enclose nothing else.
  const auto whole = [&](std::uint8_t value, std::size_t size) {
    const auto first = std::find(line.begin(), line.end(), value);
    const auto last = std::find(line.rbegin(), line.rend(), value).base();
    return first != line.end() && static_cast<std::size_t>(last - first) == size &&
           static_cast<std::size_t>(std::count(first, last, value)) == size;
  };
  if (c.dialog) {
    EXPECT_TRUE(whole('D', kDialogBlock)) << "the dialog's block was cut into";
  }
  for (int n = 0; c.queue && n < kQueueBlocks; ++n)
    EXPECT_TRUE(whole(static_cast<std::uint8_t>(0x80 + n), kQueueBlock)) << "queue block " << n;
  // The count follows the device's write by a moment; it must come to the
  // total, and stay there.
  EXPECT_TRUE(Eventually([&] {
    return m_worker.m_nBytesWritten.load() == static_cast<std::int32_t>(total);
  })) << m_worker.m_nBytesWritten.load()
      << " of " << total;
  m_worker.Stop();
  EXPECT_EQ(m_worker.m_nBytesWritten.load(), static_cast<std::int32_t>(total));
  EXPECT_EQ(recorder.Text(), std::string(line.begin(), line.end()));
  std::string shown;
  for (const std::uint8_t b : line) {
    if (c.showSent || b == 'T') shown += static_cast<char>(b);
  }
  const auto sentLog = ReadBytes(m_dir.File("raw.sent.bin"));
  EXPECT_EQ(std::string(sentLog.begin(), sentLog.end()), shown);
}

INSTANTIATE_TEST_SUITE_P(Writers, SharedLine,
                         ::testing::Values(TwoWriters{"DialogAndQueue", true, false, true, true},
                                           TwoWriters{"TapAndQueue", false, true, true, false},
                                           TwoWriters{"DialogAndTap", true, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

DCB TapDcb() {
  DCB dcb{};
  dcb.BaudRate = 9600;
  return dcb;
}

std::string LinkTarget(const std::string& path) {
  std::error_code error;
  return std::filesystem::read_symlink(path, error).string();
}

std::unique_ptr<tarnwick::ProgramTap> Offer(const std::string& path,
                                            std::string* notice = nullptr) {
  std::string error;
  return OpenProgramTap(path, TapDcb(), &error, notice);
}

// A run that offers the port at path and dies as kill -9 ends it: its link
// and its lock file stay, its lock goes with it.
bool LeaveTheLinkOfARunThatDied(const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    const auto tap = Offer(path);
    if (tap) ::raise(SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
         std::filesystem::is_symlink(path);
}

// Whoever made PATH decides: only a link that a run which died left behind
// is replaced, and that is said; anything else stays as it was, with the
// reason. A run's lock file stays beside PATH after it ended.
TEST(ProgramTapPath, OnlyALinkThatADeadRunLeftIsReplaced) {
  TempDir dir;
  PseudoTerminal other;  // a terminal somebody links to by hand
  ASSERT_TRUE(other.ok());
  const auto linkTo = [](std::string target) {
    return [target](const std::string& p) { return ::symlink(target.c_str(), p.c_str()) == 0; };
  };
  const std::string exists = ": it exists already. Remove it or choose another path.";
  std::unique_ptr<tarnwick::ProgramTap> live;
  const struct {
    const char* what;
    std::function<bool(const std::string&)> make;
    std::string reason;  // "": replaced
  } cases[] = {
      {"a file", [](const std::string& p) { return !!(std::ofstream(p) << "keep"); }, exists},
      {"a directory", [](const std::string& p) { return std::filesystem::create_directory(p); },
       exists},
      {"a link elsewhere", linkTo(dir.File("x")), exists},
      {"a user's link to a terminal", linkTo(other.path()), exists},
      {"a user's link where a run ended cleanly",
       [&](const std::string& p) {
         const bool ended = Offer(p) != nullptr;  // and gone again
         return ended && std::filesystem::exists(TapLockPath(p)) && linkTo(other.path())(p);
       },
       exists},
      {"a live run's link", [&](const std::string& p) { return !!(live = Offer(p)); },
       ": another run of Tarnwick offers it."},
      {"a link that a run which died left", LeaveTheLinkOfARunThatDied, ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.File("tap" + std::to_string(++n));
    ASSERT_TRUE(c.make(path));
    const auto before = std::filesystem::symlink_status(path).type();
    const std::string target = LinkTarget(path);
    std::string error, notice;
    const auto tap = OpenProgramTap(path, TapDcb(), &error, &notice);
    EXPECT_EQ(tap == nullptr, !c.reason.empty());
    EXPECT_EQ(error, c.reason.empty() ? "" : "Cannot offer the port at " + path + c.reason);
    EXPECT_EQ(notice, c.reason.empty()
                          ? "Offering the port at " + path + ": replaced the link to " + target +
                                " that a run which ended without removing it left there."
                          : "");
    if (c.reason.empty()) {
      EXPECT_TRUE(std::filesystem::exists(path)) << "the link leads to the new terminal";
    } else {
      EXPECT_EQ(std::filesystem::symlink_status(path).type(), before);
      EXPECT_EQ(LinkTarget(path), target);
    }
    live.reset();
  }
}

// A refused path is looked at again at the reopen pace, whether the device
// is there or away, and offered as soon as it is free: the refusal and the
// offer are each said once.
TEST(ProgramTapRetry, ARefusedPathIsOfferedOnceItIsFree) {
  const struct {
    const char* what;
    bool deviceThere;
    bool liveRun;  // else a file
  } cases[] = {{"a file, the device there", true, false},
               {"a live run's link, the device there", true, true},
               {"a file, the device away", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    PseudoTerminal device;
    ScopedEnv com1("TARNWICK_COM1", c.deviceThere ? device.path() : dir.File("absent"));
    const std::string path = dir.File("tap");
    std::unique_ptr<tarnwick::ProgramTap> live = c.liveRun ? Offer(path) : nullptr;
    if (!c.liveRun) std::ofstream(path) << "in the way";
    SETTINGS settings = DefaultSettings();
    LiveSettings liveSettings{settings};
    auto backend = CreatePlatformSerialBackend();
    PortWorker worker{liveSettings, *backend, nullptr, nullptr};
    std::atomic<int> said{0};
    worker.SetConversationStatusListener([&] { said.fetch_add(1); });
    ConversationOptions options;
    options.strTapPath = path;
    worker.SetConversation(options);
    worker.Start();
    const std::string why = c.liveRun ? "another run of Tarnwick offers it."
                                      : "it exists already. Remove it or choose another path.";
    EXPECT_TRUE(Eventually([&] {
      return worker.ConversationStatus() == "Cannot offer the port at " + path + ": " + why;
    })) << worker.ConversationStatus();
    live.reset();
    std::filesystem::remove(path);
    EXPECT_TRUE(Eventually([&] {
      return worker.ConversationStatus() == "Offering the port at " + path + " now: it is free.";
    })) << worker.ConversationStatus();
    EXPECT_TRUE(std::filesystem::exists(path));
    worker.Stop();
    EXPECT_EQ(said.load(), 2);
  }
}

}  // namespace
}  // namespace tarnwick::testing
