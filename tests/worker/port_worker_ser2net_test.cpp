// The worker on ports across the network: COM1 mapped to a real ser2net on
// loopback that serves a pseudo-terminal, over RFC 2217 and raw TCP.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>

#include <algorithm>
#include <cstring>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/com_names.h"
#include "port/port_worker.h"
#include "support/pseudo_terminal.h"
#include "support/ser2net_server.h"
#include "support/temp_dir.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  // Runs of the telnet escape and CR NUL, which a wrong escape would spoil.
  const std::uint8_t runs[] = {255, 255, 255, '\r', 0, 255, 250, 240, '\r', '\n'};
  std::memcpy(bytes.data() + count / 2, runs, sizeof runs);
  return bytes;
}

class PortWorkerOnSer2Net : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Ser2NetServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
    ASSERT_TRUE(m_pty.ok());
    ::unsetenv("TARNWICK_COM1");
    m_settings.nPortIndex = 0;
    m_settings.bSaveRaw = 1;
    std::strcpy(m_settings.szRawFile, m_dir.File("raw.bin").c_str());
    m_server = std::make_unique<Ser2NetServer>(m_pty.path(), m_dir.path().string());
  }
  void TearDown() override {
    if (m_worker) m_worker->Stop();
    SetProfileComDevice(1, "");
    SetProfileComBaud(1, 0);
  }

  // Starts the worker on device, or has the running one reopen on it.
  void Open(const std::string& device) {
    SetProfileComDevice(1, device);
    m_live.Publish();
    if (m_worker) return m_worker->RequestReopen();
    m_worker = std::make_unique<PortWorker>(m_live, *m_backend, nullptr, &m_sink);
    m_worker->Start();
  }
  bool Opened() {
    return Eventually([&] { return m_worker->m_bPortOpen.load(); }, 10s);
  }

  // Both ports serve one pseudo-terminal: the previous client's session,
  // still closing when the worker reconnects, flushes the device and what
  // the new one sent with it. A marker byte is sent until one reaches the far
  // side, and any that came late are read away.
  void WaitUntilTheServerRelays() {
    static const std::uint8_t marker = 0x55;
    bool relayed = false;
    for (int attempt = 0; attempt < 40 && !relayed; ++attempt) {
      m_worker->HandOver(&marker, 1);
      ASSERT_TRUE(Eventually([&] { return m_worker->TxBuffer() == nullptr; }));
      relayed = !m_pty.Read(1, 200).empty();
    }
    ASSERT_TRUE(relayed);
    while (!m_pty.Read(1, 100).empty()) {
    }
  }

  // Both ways: a handed-over block is what the far side reads, and what the
  // far side writes is what the raw log holds.
  void ExpectBytesPassBothWays(std::size_t count) {
    WaitUntilTheServerRelays();
    const std::vector<std::uint8_t> out = RandomBytes(count, 2);
    m_worker->HandOver(out.data(), static_cast<std::int32_t>(out.size()));
    const std::vector<std::uint8_t> arrived = m_pty.ReadWhileFlowing(out.size(), 3000);
    EXPECT_TRUE(arrived == out)
        << "to the device: " << arrived.size() << " of " << out.size() << " bytes, the first "
        << std::mismatch(arrived.begin(), arrived.end(), out.begin(), out.end()).first -
               arrived.begin()
        << " as sent";
    ASSERT_TRUE(Eventually([&] { return m_worker->TxBuffer() == nullptr; }));

    const std::int32_t before = m_worker->m_nBytesRead.load();
    const std::vector<std::uint8_t> in = RandomBytes(count, 1);
    ASSERT_TRUE(m_pty.Write(in));
    ASSERT_TRUE(EventuallyWhileMoving([&] { return m_worker->m_nBytesRead.load() - before; },
                                      static_cast<std::int64_t>(count)))
        << "from the device: " << m_worker->m_nBytesRead.load() - before << " of " << count
        << " bytes";
    const std::vector<unsigned char> logged = ReadBytes(m_dir.File("raw.bin"));
    ASSERT_GE(logged.size(), count);
    EXPECT_TRUE(
        std::equal(in.begin(), in.end(), logged.end() - static_cast<std::ptrdiff_t>(count)));
  }

  TempDir m_dir;
  PseudoTerminal m_pty;
  std::unique_ptr<Ser2NetServer> m_server;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  CountingSink m_sink;
  LiveSettings m_live{m_settings};
  std::unique_ptr<PortWorker> m_worker;
};

struct LineCase {
  const char* name;
  int baudIndex;
  std::uint32_t typedRate;  // Ports/COM1Baud, 0 for none
  int stopBitsIndex;
  int useCts;
  speed_t speed;
};

// A pseudo-terminal keeps the rate, the stop bits and RTS/CTS flow (it
// forces 8 bits without parity, so those cannot be seen there).
TEST_F(PortWorkerOnSer2Net, LineSettingsReachTheServersDevice) {
  const LineCase cases[] = {
      {"listed rate, one stop, no flow", 12, 0, 0, 0, B115200},
      {"typed rate, two stop, RTS/CTS", 6, 460800, 2, 1, B460800},
      {"3 Mbaud", 6, 3000000, 0, 1, B3000000},
  };
  ASSERT_TRUE(m_server->Start());
  for (const LineCase& c : cases) {
    m_settings.nBaudIndex = c.baudIndex;
    m_settings.nStopBitsIndex = c.stopBitsIndex;
    m_settings.bUseCts = c.useCts;
    SetProfileComBaud(1, c.typedRate);
    Open(m_server->Rfc2217Url());
    ASSERT_TRUE(Opened()) << c.name << ": " << m_worker->Line().Status();
    termios tio{};
    EXPECT_TRUE(Eventually([&] {
      return ::tcgetattr(m_pty.master(), &tio) == 0 && ::cfgetospeed(&tio) == c.speed &&
             ((tio.c_cflag & CSTOPB) != 0) == (c.stopBitsIndex == 2) &&
             ((tio.c_cflag & CRTSCTS) != 0) == (c.useCts != 0);
    })) << c.name
        << ": speed " << ::cfgetospeed(&tio) << " cflag " << std::hex << tio.c_cflag;
  }
}

TEST_F(PortWorkerOnSer2Net, BinaryDataPassesUnchangedOverRfc2217AndRawTcp) {
  ASSERT_TRUE(m_server->Start());
  for (const std::string& url : {m_server->Rfc2217Url(), m_server->TcpUrl()}) {
    SCOPED_TRACE(url);
    Open(url);
    ASSERT_TRUE(Opened()) << m_worker->Line().Status();
    ExpectBytesPassBothWays(256 * 1024);
  }
}

// A server that is not there yet is the header's reason and is looked for
// again without being asked; one that goes away is a lost port, resumed
// when it is back.
TEST_F(PortWorkerOnSer2Net, UnreachableServerIsReportedAndADroppedConnectionResumes) {
  Open(m_server->Rfc2217Url());
  ASSERT_TRUE(Eventually([&] { return !m_worker->Line().Status().empty(); }));
  EXPECT_EQ(m_worker->Line().Status(), "Open Port FAILED !Connection refused");
  ASSERT_TRUE(m_server->Start());
  ASSERT_TRUE(Opened()) << m_worker->Line().Status();
  ExpectBytesPassBothWays(4096);

  m_server->Stop();
  ASSERT_TRUE(Eventually([&] { return !m_worker->m_bPortOpen.load(); }, 20s));
  EXPECT_EQ(m_worker->Line().Status().rfind("Port LOST !", 0), 0u) << m_worker->Line().Status();
  ASSERT_TRUE(m_server->Start());
  ASSERT_TRUE(Opened()) << m_worker->Line().Status();
  ExpectBytesPassBothWays(4096);
}

// A listener whose queue is full drops the worker's SYN: the connect hangs,
// and Stop must not wait for it.
TEST(PortWorkerConnecting, StopDoesNotWaitForAConnectThatHangs) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address;
  const int port = BindLoopback(listener, address);
  ASSERT_NE(port, 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  // This process's sockets that wait for their SYN to be answered.
  auto synSent = [&] { return CountTcpSockets("/proc/self/net/tcp", port, true, "02"); };
  // Connections until one is left waiting: the queue is full.
  std::vector<int> fillers;
  while (fillers.size() < 16 && synSent() == 0) {
    fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  const int waiting = synSent();
  ASSERT_GT(waiting, 0);

  SETTINGS settings = DefaultSettings();
  LiveSettings live{settings};
  std::unique_ptr<SerialBackend> backend = CreatePlatformSerialBackend();
  SetProfileComDevice(1, "tcp://127.0.0.1:" + std::to_string(port));
  PortWorker worker(live, *backend, nullptr, nullptr);
  worker.Start();
  const bool hanging = Eventually([&] { return synSent() > waiting; });
  auto stopped = std::async(std::launch::async, [&] { worker.Stop(); });
  const bool returned = stopped.wait_for(5s) == std::future_status::ready;
  SetProfileComDevice(1, "");
  for (const int fd : fillers) ::close(fd);
  ::close(listener);
  EXPECT_TRUE(hanging);
  EXPECT_TRUE(returned);
  EXPECT_FALSE(worker.m_bPortOpen.load());
}

// The shells hand the worker its options, and perhaps a block, before it
// starts; the wake-up that comes with them must not cancel the first
// connect. A server that is there opens at once: one connection, no failure.
TEST(PortWorkerConnecting, AServerThatIsThereOpensAtTheFirstAttempt) {
  const struct {
    const char* scheme;
    bool handOver;  // a block too, besides the options
  } cases[] = {{"tcp", false}, {"rfc2217", false}, {"tcp", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.scheme) + (c.handOver ? " with a block" : ""));
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address;
    const int port = BindLoopback(listener, address);
    ASSERT_EQ(::listen(listener, 8), 0);
    SetProfileComDevice(1, std::string(c.scheme) + "://127.0.0.1:" + std::to_string(port));
    SETTINGS settings = DefaultSettings();
    LiveSettings live{settings};
    std::unique_ptr<SerialBackend> backend = CreatePlatformSerialBackend();
    PortWorker worker(live, *backend, nullptr, nullptr);
    worker.SetConversation(ConversationOptions{});
    const std::uint8_t block[] = {'h', 'i'};
    if (c.handOver) worker.HandOver(block, 2);
    worker.Start();
    EXPECT_TRUE(Eventually([&] { return worker.m_bPortOpen.load(); }, 10s));
    // Every connection made is queued by now, even one dropped at once; they
    // close once the worker is done with its own.
    std::vector<int> connections;
    for (int fd; (fd = ::accept(listener, nullptr, nullptr)) >= 0;) connections.push_back(fd);
    worker.Stop();
    SetProfileComDevice(1, "");
    for (const int fd : connections) ::close(fd);
    ::close(listener);
    EXPECT_EQ(worker.Line().Status(), "");
    EXPECT_EQ(connections.size(), 1u);
  }
}

}  // namespace
}  // namespace tarnwick::testing
