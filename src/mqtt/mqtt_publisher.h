// A capture published to an MQTT broker: one more listener of what the screen
// model places (received bytes, completed lines), of the sent direction and of
// frames. Under PREFIX it publishes rx and tx (the bytes, each message with
// "seq" and "time" user properties), lines and frames (JSON), and status
// (retained; the last will marks the capture offline). What it is handed goes
// into a bounded queue and out on a thread of its own, so the worker never
// waits for the network: above the bound a message is dropped and counted,
// and its sequence number stays unused, so readers see the gap.
//
// It also listens on PREFIX/send and hands what arrives to the send handler,
// only when accepting is on; retained messages there are never taken, since
// they would come again at every connect.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "display/screen_observer.h"
#include "mqtt/frame_fields.h"
#include "mqtt/mqtt_client.h"
#include "mqtt/mqtt_json.h"
#include "mqtt/mqtt_url.h"
#include "port/sent_data_sink.h"

namespace tarnwick {

// What the capture says about itself in its status.
struct CaptureDescription {
  std::string device;  // the device as opened ("/dev/ttyUSB0", "COM1")
  std::string line;    // the line settings
  std::string port;    // "open", or why the port is not
  friend bool operator==(const CaptureDescription&, const CaptureDescription&) = default;
};

struct MqttPublisherOptions {
  // Messages queued here or sent and not yet confirmed by the broker; above
  // this a new message is dropped.
  std::size_t maxPending = 1000;
  // The counters in the status are published again at most this often.
  int statusIntervalMs = 2000;
  // A line's bytes kept for its hex, at most (its text is always whole).
  std::size_t maxLineBytes = 4096;
  // What arrives on PREFIX/send is handed on (off: it is counted as refused).
  bool bAcceptSend = false;
};

class MqttPublisher final : public ScreenObserver, public SentDataSink, private MqttClientEvents {
 public:
  MqttPublisher(MqttUrl url, std::string password, MqttClientFactory factory,
                MqttPublisherOptions options = {});
  ~MqttPublisher() override;  // Stop(0) when Stop was not called
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;

  // Before Start: where the bytes of accepted send messages go, in order, on
  // the publisher's thread.
  void SetSendHandler(std::function<void(std::vector<std::uint8_t>)> handler) {
    m_sendHandler = std::move(handler);
  }
  // Connects in the background (reconnecting with back-off). False, with the
  // reason, when it cannot start at all.
  bool Start(std::string* error);
  // The clean exit: publishes what is queued, then the offline status, and
  // disconnects once the broker confirmed them, or after timeoutMs.
  void Stop(int timeoutMs);

  // Any thread.
  void SetCaptureDescription(const CaptureDescription& description);
  void OnFrame(const FrameFields& frame);

  // Worker thread (ScreenObserver, under the model's lock: appends only).
  void OnUnitPlaced(const UnitSettings& settings, const PlacedUnit& unit) override;
  void OnLineCompleted(const UnitSettings& settings, const CompletedLine& line) override;
  void OnReadPlaced() override;
  // Worker thread (SentDataSink).
  void OnSent(const std::uint8_t* data, std::size_t length, const ReadTime& time) override;

  struct Counters {
    bool bConnected = false;
    std::uint64_t published = 0;  // messages handed to the client
    std::uint64_t dropped = 0;    // messages dropped above the bound or refused by the client
    std::uint64_t sendAccepted = 0;
    std::uint64_t sendRefused = 0;
    std::string lastError;  // why the broker connection last failed; empty once up
  };
  // Any thread: for the status bar and the status lines.
  Counters GetCounters() const;

 private:
  enum class Kind { kRx, kTx, kLines, kFrame };
  struct Item {
    Kind kind = Kind::kRx;
    std::uint64_t seq = 0;
    LineTime time = 0;
    std::vector<std::uint8_t> bytes = {};
    std::vector<PublishedLine> lines = {};
    std::string json = {};
  };

  // MqttClientEvents, on the library's thread.
  void OnConnected(bool mqtt5) override;
  void OnDisconnected(const std::string& reason) override;
  void OnMessage(MqttMessage&& message) override;
  void OnDelivered() override;

  // Queues item unless the bound is reached (then counts it dropped).
  void Enqueue(Item&& item);
  void Run();
  void PublishItem(Item& item);
  void PublishStatus(bool online);
  void Publish(const std::string& topic, const std::uint8_t* data, std::size_t length, bool retain,
               const std::vector<MqttUserProperty>& properties);
  void TakeSend(MqttMessage& message);

  const MqttUrl m_url;
  const std::string m_strPassword;
  const MqttClientFactory m_factory;
  const MqttPublisherOptions m_options;
  std::function<void(std::vector<std::uint8_t>)> m_sendHandler;
  std::unique_ptr<MqttClient> m_pClient;
  std::thread m_thread;

  // Worker thread only: the read in progress, and the line being assembled.
  std::vector<std::uint8_t> m_rxBatch;
  LineTime m_rxTime = 0;
  std::vector<PublishedLine> m_linesBatch;
  std::vector<std::uint8_t> m_lineBytes;
  bool m_bLineBytesCut = false;
  std::uint64_t m_nRxSeq = 0;
  std::uint64_t m_nTxSeq = 0;

  // Queued or sent and not yet confirmed.
  std::atomic<std::size_t> m_nPending{0};
  std::atomic<std::uint64_t> m_nPublished{0};
  std::atomic<std::uint64_t> m_nDropped{0};
  std::atomic<std::uint64_t> m_nRxBytes{0};
  std::atomic<std::uint64_t> m_nTxBytes{0};
  std::atomic<std::uint64_t> m_nSendAccepted{0};
  std::atomic<std::uint64_t> m_nSendRefused{0};

  // Shared with the publisher's thread.
  mutable std::mutex m_cs;
  std::condition_variable m_wake;
  std::deque<Item> m_queue;
  std::deque<MqttMessage> m_sendQueue;
  bool m_bConnected = false;
  bool m_bAnnounce = false;  // connected, or described anew, since the status was published
  bool m_bStatusDirty = true;
  bool m_bStop = false;
  std::string m_strLastError;
  CaptureDescription m_description;
};

// The publisher for a URL as the user wrote it, once the URL passed its
// checks and the password was read (see mqtt_credentials.h); not started.
// Null, with the reason, otherwise.
std::unique_ptr<MqttPublisher> MakeMqttPublisher(std::string_view url, MqttClientFactory factory,
                                                 const MqttPublisherOptions& options,
                                                 std::string* error);

}  // namespace tarnwick
