// A capture publishing to a real mosquitto on loopback: a worker on a
// pseudo-terminal with the publisher as its observer, and mosquitto_sub and
// mosquitto_pub as the independent side.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "display/screen_model.h"
#include "mqtt/mosquitto/mosquitto_client.h"
#include "mqtt/mqtt_publisher.h"
#include "port/port_worker.h"
#include "support/mosquitto_broker.h"
#include "support/pseudo_terminal.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr const char* kPrefix = "lab/rack1";

MqttUrl UrlOf(const MosquittoBroker& broker) { return *ParseMqttUrl(broker.Url(kPrefix), nullptr); }

// The "seq" property mosquitto_sub printed.
long SeqOf(const SubscribedMessage& m) {
  const std::size_t at = m.properties.find("seq:");
  return at == std::string::npos ? -1 : std::stol(m.properties.substr(at + 4));
}

class PublisherOnBroker : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!MosquittoBroker::Installed()) GTEST_SKIP() << "mosquitto is not installed";
    ASSERT_TRUE(m_broker.Start());
    m_settings.nUnitFormatIndex = 1;  // HEX: every byte a unit, 16 to a line
    m_settings.nColumns = 16;
    m_settings.bSaveRaw = 1;
    std::strcpy(m_settings.szRawFile, m_dir.File("raw.bin").c_str());
  }
  void TearDown() override {
    if (m_worker) m_worker->Stop();
    if (m_publisher) m_publisher->Stop(2000);
    ::unsetenv("TARNWICK_COM1");
  }

  // The worker on the pty, the publisher following it.
  void StartCapture(MqttPublisherOptions options = {}) {
    std::string error;
    m_publisher =
        MakeMqttPublisher(m_broker.Url(kPrefix), MosquittoClientFactory(), options, &error);
    ASSERT_TRUE(m_publisher && m_publisher->Start(&error)) << error;
    ::setenv("TARNWICK_COM1", m_pty.path().c_str(), 1);
    m_live.Publish();
    m_worker = std::make_unique<PortWorker>(m_live, *m_backend, &m_model, &m_sink);
    m_worker->SetReceiveObserver(m_publisher.get());
    m_worker->SetSentDataSink(m_publisher.get());
    m_worker->Start();
    ASSERT_TRUE(Eventually([&] { return m_worker->m_bPortOpen.load(); }, 10s));
    // Until the broker took the connection, messages are dropped.
    ASSERT_TRUE(Eventually([&] { return m_publisher->GetCounters().bConnected; }, 10s));
  }
  // Each write waits for its read, so every piece is at least one message.
  void Feed(const std::string& bytes, std::size_t pieces = 1) {
    const std::size_t size = (bytes.size() + pieces - 1) / pieces;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
      const std::int32_t before = m_worker->m_nBytesRead.load();
      const std::string piece = bytes.substr(at, size);
      ASSERT_TRUE(m_pty.Write(piece));
      ASSERT_TRUE(Eventually(
          [&] {
            return m_worker->m_nBytesRead.load() - before ==
                   static_cast<std::int32_t>(piece.size());
          },
          20s));
    }
  }

  TempDir m_dir;
  MosquittoBroker m_broker{m_dir.path().string()};
  PseudoTerminal m_pty;
  SETTINGS m_settings = DefaultSettings();
  std::unique_ptr<SerialBackend> m_backend = CreatePlatformSerialBackend();
  CountingSink m_sink;
  LiveSettings m_live{m_settings};
  ScreenModel m_model{m_live, nullptr};
  std::unique_ptr<MqttPublisher> m_publisher;
  std::unique_ptr<PortWorker> m_worker;
};

TEST_F(PublisherOnBroker, OneMebibyteThroughRxExactAndInOrder) {
  MosquittoSubscriber subscriber(m_broker, kPrefix, m_dir.File("sub.out"));
  ASSERT_TRUE(subscriber.Ready());
  StartCapture();
  const std::vector<unsigned char> random = RandomBytes(1 << 20, 36);
  const std::string data(random.begin(), random.end());
  ASSERT_TRUE(m_pty.Write(data));

  ASSERT_TRUE(Eventually([&] { return subscriber.Joined("rx").size() >= data.size(); }, 60s))
      << subscriber.Joined("rx").size();
  EXPECT_TRUE(subscriber.Joined("rx") == data);
  long expected = 0;
  const std::regex properties(R"(seq:\d+ time:\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  for (const SubscribedMessage& m : subscriber.Messages("rx")) {
    ASSERT_EQ(SeqOf(m), expected++);
    ASSERT_TRUE(std::regex_match(m.properties, properties)) << m.properties;
  }
  EXPECT_EQ(m_publisher->GetCounters().dropped, 0u);
}

TEST_F(PublisherOnBroker, LinesAreJsonWithTimeDirectionTextAndHex) {
  m_settings.nUnitFormatIndex = 0;  // TEXT lines, ended by CR
  m_settings.nColumns = 0;
  MosquittoSubscriber subscriber(m_broker, kPrefix, m_dir.File("sub.out"));
  ASSERT_TRUE(subscriber.Ready());
  StartCapture();
  const std::string input = "temp=21.5\r\n\xE9t\xE9\r\n";
  Feed(input);

  std::vector<Json> lines;
  ASSERT_TRUE(Eventually([&] {
    lines.clear();
    for (const SubscribedMessage& m : subscriber.Messages("lines"))
      for (const Json& line : Json::parse(m.payload)) lines.push_back(line);
    return lines.size() >= 2;
  }));
  const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  std::string hex;
  for (const Json& line : lines) {
    EXPECT_TRUE(std::regex_match(line["time"].get<std::string>(), iso)) << line;
    EXPECT_EQ(line["direction"], "rx");
    hex += (hex.empty() ? "" : " ") + line["hex"].get<std::string>();
  }
  EXPECT_EQ(lines[0]["text"], "temp=21.5");
  EXPECT_EQ(lines[1]["text"], "\u00E9t\u00E9");  // the code page's é, in UTF-8
  EXPECT_EQ(hex, "74 65 6D 70 3D 32 31 2E 35 0D 0A E9 74 E9 0D");

  // A frame: one object with the frames CSV's columns, no more, no less.
  FrameFields frame;
  frame.time = 1700000000123;
  frame.direction = LineDirection::kSent;
  frame.protocol = "Modbus RTU";
  frame.length = 8;
  frame.values = "40001=0x0102";
  frame.pairMs = 12.5;
  m_publisher->OnFrame(frame);
  ASSERT_TRUE(Eventually([&] { return !subscriber.Messages("frames").empty(); }));
  const Json json = Json::parse(subscriber.Messages("frames")[0].payload);
  std::vector<std::string> keys;
  for (const auto& [key, value] : json.items()) keys.push_back(key);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"address", "direction", "function", "hex", "length",
                                            "pair_ms", "protocol", "status", "summary", "time",
                                            "values"}));
  EXPECT_EQ(json["time"], "2023-11-14T22:13:20.123Z");
  EXPECT_EQ(json["direction"], "tx");
  EXPECT_EQ(json["values"], "40001=0x0102");
  EXPECT_EQ(json["pair_ms"], 12.5);
}

// The status is retained; the end of a capture leaves it offline, by its own
// word on a clean exit, by its last will when it was killed.
TEST_F(PublisherOnBroker, RetainedStatusEndsOfflineByExitOrByWill) {
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "clean exit");
    const std::string prefix = killed ? "lab/killed" : "lab/clean";
    const MqttUrl url = *ParseMqttUrl(m_broker.Url(prefix), nullptr);
    std::unique_ptr<MqttPublisher> capture;
    pid_t child = -1;
    const auto start = [&] {
      capture = std::make_unique<MqttPublisher>(url, "", MosquittoClientFactory());
      std::string error;
      capture->Start(&error);
      capture->SetCaptureDescription({"/dev/ttyUSB3", "115200,8,N,1", "open"});
    };
    if (killed) {
      child = ::fork();
      if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        start();
        ::pause();
        ::_exit(0);
      }
    } else {
      start();
    }
    const auto states = [&](const MosquittoSubscriber& s) {
      std::vector<Json> out;
      for (const SubscribedMessage& m : s.Messages("status")) out.push_back(Json::parse(m.payload));
      return out;
    };
    MosquittoSubscriber watcher(m_broker, prefix, m_dir.File(prefix.substr(4) + ".out"));
    ASSERT_TRUE(Eventually(
        [&] {
          const auto seen = states(watcher);
          return !seen.empty() && seen.back()["state"] == "online" &&
                 seen.back()["device"] == "/dev/ttyUSB3";
        },
        10s));

    if (killed) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    } else {
      capture->Stop(2000);
    }
    ASSERT_TRUE(Eventually([&] { return states(watcher).back()["state"] == "offline"; }, 10s));
    MosquittoSubscriber late(m_broker, prefix, m_dir.File(prefix.substr(4) + ".late"));
    ASSERT_TRUE(Eventually([&] { return !states(late).empty(); }));
    EXPECT_EQ(states(late).back()["state"], "offline");
    // Only the capture's own word knows what it was.
    EXPECT_EQ(states(late).back()["device"], killed ? "" : "/dev/ttyUSB3");
    EXPECT_EQ(states(late).back().contains("time"), !killed);
  }
}

struct TlsCase {
  const char* name;
  bool tlsPort;         // else the plain listener
  bool trustCaFile;     // else the system's store
  const char* failure;  // part of the reason; null: it connects
};

// TLS verifies the broker and says why it failed; nothing goes in clear.
TEST_F(PublisherOnBroker, TlsFailuresAreReportedAndNeverFallBackToPlainText) {
  m_broker.Stop();
  ASSERT_TRUE(m_broker.AddTlsListener());
  ASSERT_TRUE(m_broker.Start());
  const TlsCase cases[] = {
      {"trusted CA file", true, true, nullptr},
      {"unknown to the system's store", true, false, "certificate verify failed"},
      {"plain listener", false, true, "TLS failed"}};
  for (const TlsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string prefix =
        std::string("tls/") + (c.tlsPort ? "t" : "p") + (c.trustCaFile ? "1" : "0");
    MosquittoSubscriber subscriber(m_broker, prefix, m_dir.File(prefix.substr(4) + ".out"));
    ASSERT_TRUE(subscriber.Ready());
    const std::string url =
        "mqtts://localhost:" + std::to_string(c.tlsPort ? m_broker.TlsPort() : m_broker.Port()) +
        "/" + prefix + (c.trustCaFile ? "?cafile=" + m_broker.CaFile() : "");
    MqttPublisher capture(*ParseMqttUrl(url, nullptr), "", MosquittoClientFactory());
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    ASSERT_TRUE(Eventually(
        [&] {
          const auto counters = capture.GetCounters();
          return c.failure ? !counters.lastError.empty() : !subscriber.Messages("status").empty();
        },
        10s))
        << capture.GetCounters().lastError;
    if (c.failure != nullptr) {
      EXPECT_NE(capture.GetCounters().lastError.find(c.failure), std::string::npos)
          << capture.GetCounters().lastError;
      EXPECT_FALSE(capture.GetCounters().bConnected);
      EXPECT_TRUE(subscriber.Messages("status").empty());
    }
  }
}

struct SendCase {
  const char* name;
  bool accept;
  bool retainedWaiting;  // a retained message waits on send before the capture starts
};

TEST_F(PublisherOnBroker, SendIsHandedOnOnlyWhenAcceptedAndNeverRetained) {
  const SendCase cases[] = {{"refused", false, false},
                            {"accepted", true, false},
                            {"accepted, retained ignored", true, true}};
  const std::string bytes("\x00\xFF\r\nAT+RST\x1B", 11);
  std::ofstream(m_dir.File("send.bin"), std::ios::binary) << bytes;
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string topic = std::string(kPrefix) + "/send";
    m_broker.Publish({"-t", topic, "-r", "-n"});  // no retained message left from before
    if (c.retainedWaiting) {
      ASSERT_EQ(m_broker.Publish({"-t", topic, "-r", "-m", "reboot"}), 0);
    }
    MqttPublisherOptions options;
    options.bAcceptSend = c.accept;
    MqttPublisher capture(UrlOf(m_broker), "", MosquittoClientFactory(), options);
    std::mutex cs;
    std::vector<std::string> handed;
    capture.SetSendHandler([&](std::vector<std::uint8_t> data) {
      std::lock_guard lock(cs);
      handed.emplace_back(data.begin(), data.end());
    });
    std::string error;
    ASSERT_TRUE(capture.Start(&error)) << error;
    // Sent until it arrives: the subscription may still be on its way.
    const auto arrived = [&] {
      const auto counters = capture.GetCounters();
      return counters.sendAccepted + counters.sendRefused > 0;
    };
    for (int attempt = 0; attempt < 20 && !arrived(); ++attempt) {
      ASSERT_EQ(m_broker.Publish({"-t", topic, "-q", "2", "-f", m_dir.File("send.bin")}), 0);
      Eventually(arrived, 500ms);
    }
    capture.Stop(2000);
    const auto counters = capture.GetCounters();
    EXPECT_EQ(counters.sendAccepted, c.accept ? 1u : 0u);
    EXPECT_EQ(counters.sendRefused, c.accept ? 0u : 1u);
    EXPECT_EQ(handed, c.accept ? std::vector<std::string>{bytes} : std::vector<std::string>{});
  }
}

// The broker goes away mid-capture: the local log stays exact, what the
// bound could not hold is counted, and publishing resumes once it is back.
TEST_F(PublisherOnBroker, BrokerRestartCountsTheGapAndResumes) {
  MqttPublisherOptions options;
  options.maxPending = 8;
  StartCapture(options);
  const std::vector<unsigned char> random = RandomBytes(3000, 7);
  const std::string before(random.begin(), random.begin() + 1000);
  const std::string during(random.begin() + 1000, random.begin() + 2000);
  const std::string after(random.begin() + 2000, random.end());
  long lastBefore = -1;
  {
    MosquittoSubscriber subscriber(m_broker, kPrefix, m_dir.File("before.out"));
    ASSERT_TRUE(subscriber.Ready());
    Feed(before);
    ASSERT_TRUE(Eventually([&] { return subscriber.Joined("rx") == before; }));
    lastBefore = SeqOf(subscriber.Messages("rx").back());
  }

  m_broker.Stop();
  Feed(during, 20);  // 20 reads or more, each a message that cannot go
  const auto dropped = static_cast<long>(m_publisher->GetCounters().dropped);
  EXPECT_GE(dropped, 20);

  ASSERT_TRUE(m_broker.Start());
  MosquittoSubscriber subscriber(m_broker, kPrefix, m_dir.File("after.out"));
  ASSERT_TRUE(subscriber.Ready());
  ASSERT_TRUE(Eventually([&] { return m_publisher->GetCounters().bConnected; }, 20s));
  Feed(after);
  ASSERT_TRUE(Eventually([&] { return subscriber.Joined("rx") == after; }, 20s))
      << subscriber.Joined("rx").size();
  // The numbering shows a reader the gap the dropped messages left.
  const long gap = SeqOf(subscriber.Messages("rx").front()) - lastBefore - 1;
  EXPECT_GE(gap, 20);
  EXPECT_LE(gap, dropped);
  m_worker->Stop();
  EXPECT_EQ(ReadBytes(m_dir.File("raw.bin")), random);
}

}  // namespace
}  // namespace tarnwick::testing
