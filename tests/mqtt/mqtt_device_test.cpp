// A viewer watching a capture through a real mosquitto on loopback: COM1 mapped
// to "mqtt://127.0.0.1:PORT/PREFIX", opened through the MQTT backend.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "display/screen_model.h"
#include "mqtt/mosquitto/mosquitto_client.h"
#include "mqtt/mqtt_publisher.h"
#include "mqtt/mqtt_serial_backend.h"
#include "port/peer_capture.h"
#include "port/port_worker.h"
#include "port/scoped_env.h"
#include "support/mosquitto_broker.h"
#include "worker/worker_rig.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPrefix = "lab/rack2";
constexpr const char* kComName = "\\\\.\\COM1";

// What the viewer read, runs of one direction joined.
struct DirectionRun {
  bool sent;
  std::string bytes;
  friend bool operator==(const DirectionRun&, const DirectionRun&) = default;
};

class RunRecorder : public SentDataSink {
 public:
  void Add(bool sent, const std::uint8_t* data, std::size_t length) {
    std::lock_guard lock(m_cs);
    if (length == 0) return;
    if (m_runs.empty() || m_runs.back().sent != sent) m_runs.push_back({sent, {}});
    m_runs.back().bytes.append(reinterpret_cast<const char*>(data), length);
    m_nTotal += length;
  }
  void OnSent(const std::uint8_t* data, std::size_t length, const ReadTime&) override {
    Add(true, data, length);
  }
  std::vector<DirectionRun> Runs() const {
    std::lock_guard lock(m_cs);
    return m_runs;
  }
  std::size_t Total() const {
    std::lock_guard lock(m_cs);
    return m_nTotal;
  }

 private:
  mutable std::mutex m_cs;
  std::vector<DirectionRun> m_runs;
  std::size_t m_nTotal = 0;
};

class ViewerOnBroker : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!MosquittoBroker::Installed()) GTEST_SKIP() << "mosquitto is not installed";
    ASSERT_TRUE(m_broker.Start());
    m_settings.nUnitFormatIndex = 1;  // HEX: every byte is placed at once
    m_settings.nColumns = 16;
  }

  // The capture's side: the screen model and the publisher beside it.
  void StartCapture() {
    MqttPublisherOptions options;
    options.bAcceptSend = true;
    m_capture = std::make_unique<MqttPublisher>(*ParseMqttUrl(m_broker.Url(kPrefix), nullptr), "",
                                                MosquittoClientFactory(), options);
    m_capture->SetSendHandler([this](std::vector<std::uint8_t> bytes) {
      std::lock_guard lock(m_csSent);
      m_sentToDevice.append(bytes.begin(), bytes.end());
    });
    m_capture->SetCaptureDescription({"/dev/ttyS9", "9600,8,N,1", "open"});
    std::string error;
    ASSERT_TRUE(m_capture->Start(&error)) << error;
    ASSERT_TRUE(Eventually([&] { return m_capture->GetCounters().bConnected; }, 10s));
  }
  void CaptureReceives(const std::string& bytes) {
    m_model.AddReceivedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                             ReadTime::Now(), m_capture.get());
  }
  void CaptureSends(const std::string& bytes) {
    m_capture->OnSent(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                      ReadTime::Now());
  }
  std::string SentToDevice() {
    std::lock_guard lock(m_csSent);
    return m_sentToDevice;
  }

  TempDir m_dir;
  MosquittoBroker m_broker{m_dir.path().string()};
  ScopedEnv m_com1{"TARNWICK_COM1", m_broker.Url(kPrefix)};
  SETTINGS m_settings = DefaultSettings();
  LiveSettings m_live{m_settings};
  ScreenModel m_model{m_live, nullptr};
  std::unique_ptr<MqttPublisher> m_capture;
  std::mutex m_csSent;
  std::string m_sentToDevice;
  MqttSerialBackend m_backend{CreatePlatformSerialBackend(), MosquittoClientFactory()};
};

TEST_F(ViewerOnBroker, BothDirectionsArriveExactAndInOrderAndWritesReachTheDevice) {
  StartCapture();
  int error = 0;
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(Eventually([&] { return (device = m_backend.Open(kComName, &error)) != nullptr; }))
      << m_backend.ErrorText(error);
  RunRecorder recorder;
  dynamic_cast<PeerCapture&>(*device).SetPeerSentSink(&recorder);

  const std::vector<unsigned char> random = RandomBytes(300000, 3);
  const std::vector<DirectionRun> expected = {
      {false, std::string(random.begin(), random.begin() + 200000)},
      {true, "AT+GMR\r"},
      {false, std::string(random.begin() + 200000, random.end())},
      {true, std::string("\x00\xFF\x1B", 3)}};
  std::size_t total = 0;
  for (const DirectionRun& run : expected) {
    run.sent ? CaptureSends(run.bytes) : CaptureReceives(run.bytes);
    total += run.bytes.size();
  }
  std::uint8_t buffer[16 * 1024];
  ASSERT_TRUE(Eventually(
      [&] {
        device->Wait(false, 100);
        const IoResult in = device->Read(buffer, sizeof buffer);
        EXPECT_EQ(in.error, 0);
        recorder.Add(false, buffer, in.count);
        return recorder.Total() >= total;
      },
      20s))
      << recorder.Total();
  EXPECT_TRUE(recorder.Runs() == expected);

  // Written a byte at a time, as the worker hands a block over.
  const std::string typed("reset\r\n\x00\xFE", 9);
  for (const char c : typed) {
    const auto byte = static_cast<std::uint8_t>(c);
    ASSERT_EQ(device->Write(&byte, 1).count, 1u);
  }
  device->Wait(false, 0);  // the gathered bytes go at the next wait
  ASSERT_TRUE(Eventually([&] { return SentToDevice().size() >= typed.size(); }, 10s));
  EXPECT_EQ(SentToDevice(), typed);
}

struct ViewerStep {
  const char* name;
  std::function<void()> change;
  bool open;
  const char* status;  // how the port's status text begins, when it is not open
};

// The port is lost while the capture is offline or the broker is away, and
// comes back by itself.
TEST_F(ViewerOnBroker, PortIsLostWhileTheCaptureIsOfflineAndComesBack) {
  const ViewerStep steps[] = {
      {"no capture yet", [] {}, false, "Open Port FAILED !no capture publishes at lab/rack2"},
      {"capture starts", [this] { StartCapture(); }, true, nullptr},
      {"capture exits", [this] { m_capture->Stop(2000); }, false,
       "Port LOST !the capture at lab/rack2 is offline"},
      {"capture back", [this] { StartCapture(); }, true, nullptr},
      {"broker gone", [this] { m_broker.Stop(); }, false,
       "Port LOST !the broker cannot be reached: "},
  };
  CountingSink sink;
  PortWorker viewer(m_live, m_backend, nullptr, &sink);
  viewer.Start();
  for (const ViewerStep& step : steps) {
    SCOPED_TRACE(step.name);
    step.change();
    ASSERT_TRUE(Eventually(
        [&] {
          return viewer.m_bPortOpen.load() == step.open &&
                 (step.open || viewer.Line().Status().starts_with(step.status));
        },
        15s))
        << viewer.Line().Status();
    if (step.open) {
      EXPECT_TRUE(m_backend.RemoteStatusText().starts_with("capture online: /dev/ttyS9 9600,8,N,1"))
          << m_backend.RemoteStatusText();
    }
  }
  viewer.Stop();
}

}  // namespace
}  // namespace tarnwick::testing
