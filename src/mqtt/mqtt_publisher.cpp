#include "mqtt/mqtt_publisher.h"

#include <chrono>
#include <utility>

#include "mqtt/mqtt_credentials.h"

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// Data and status go with QoS 1: the broker confirms each, which is what
// the bound counts; send comes with QoS 2, so nothing reaches the device twice.
constexpr int kPublishQos = 1;
constexpr int kSendQos = 2;

LineTime NowMs() { return ReadTime::Now().WallMs(); }

std::vector<MqttUserProperty> SequenceProperties(std::uint64_t seq, LineTime time) {
  return {{"seq", std::to_string(seq)}, {"time", IsoTime(time)}};
}

}  // namespace

MqttPublisher::MqttPublisher(MqttUrl url, std::string password, MqttClientFactory factory,
                             MqttPublisherOptions options)
    : m_url(std::move(url)),
      m_strPassword(std::move(password)),
      m_factory(std::move(factory)),
      m_options(options) {}

MqttPublisher::~MqttPublisher() { Stop(0); }

bool MqttPublisher::Start(std::string* error) {
  MqttConnectOptions connect;
  connect.host = m_url.strHost;
  connect.port = m_url.nPort;
  connect.bTls = m_url.bTls;
  connect.caFile = m_url.strCaFile;
  connect.user = m_url.strUser;
  connect.password = m_strPassword;
  // The will is written now and published whenever the broker loses us:
  // it carries no time, and nothing the capture knew.
  connect.will = MqttWill{m_url.Topic("status"), StatusJson({}), kPublishQos, true};
  connect.subscriptions = {{m_url.Topic("send"), kSendQos}};
  m_pClient = m_factory(connect, *this);
  if (!m_pClient || !m_pClient->Start(error)) {
    m_pClient.reset();
    return false;
  }
  m_thread = std::thread(&MqttPublisher::Run, this);
  return true;
}

void MqttPublisher::Stop(int timeoutMs) {
  if (!m_thread.joinable()) return;
  {
    std::lock_guard lock(m_cs);
    m_bStop = true;
  }
  m_wake.notify_all();
  m_thread.join();
  // A clean disconnect discards the will: say offline ourselves (down, the
  // broker has published the will already).
  if (GetCounters().bConnected) PublishStatus(false);
  m_pClient->Disconnect(timeoutMs);
  m_pClient.reset();
}

void MqttPublisher::SetCaptureDescription(const CaptureDescription& description) {
  {
    std::lock_guard lock(m_cs);
    if (m_description == description) return;
    m_description = description;
    m_bAnnounce = m_bConnected;  // a new state is told at once
  }
  m_wake.notify_all();
}

void MqttPublisher::OnFrame(const FrameFields& frame) {
  Item item{Kind::kFrame};
  item.time = frame.time;
  item.json = FrameJson(frame);
  Enqueue(std::move(item));
}

void MqttPublisher::OnUnitPlaced(const UnitSettings&, const PlacedUnit& unit) {
  const auto length = static_cast<std::size_t>(unit.nLength);
  if (unit.direction == LineDirection::kReceived) {
    if (m_rxBatch.empty()) m_rxTime = unit.time;
    m_rxBatch.insert(m_rxBatch.end(), unit.bytes, unit.bytes + length);
  }
  // A unit in column 0 begins a line, also after a Clear dropped the last.
  if (unit.nColumn == 0) {
    m_lineBytes.clear();
    m_bLineBytesCut = false;
  }
  if (m_lineBytes.size() + length <= m_options.maxLineBytes) {
    m_lineBytes.insert(m_lineBytes.end(), unit.bytes, unit.bytes + length);
  } else {
    m_bLineBytesCut = true;
  }
}

void MqttPublisher::OnLineCompleted(const UnitSettings&, const CompletedLine& line) {
  m_linesBatch.push_back(
      {line.time, line.direction, std::string(line.text), m_lineBytes, m_bLineBytesCut});
  m_lineBytes.clear();
  m_bLineBytesCut = false;
}

void MqttPublisher::OnReadPlaced() {
  if (!m_rxBatch.empty()) {
    m_nRxBytes.fetch_add(m_rxBatch.size(), std::memory_order_relaxed);
    Item item{Kind::kRx, m_nRxSeq++, m_rxTime};
    item.bytes = std::move(m_rxBatch);
    m_rxBatch.clear();
    Enqueue(std::move(item));
  }
  if (!m_linesBatch.empty()) {
    Item item{Kind::kLines};
    item.lines = std::move(m_linesBatch);
    m_linesBatch.clear();
    Enqueue(std::move(item));
  }
}

void MqttPublisher::OnSent(const std::uint8_t* data, std::size_t length, const ReadTime& time) {
  if (length == 0) return;
  m_nTxBytes.fetch_add(length, std::memory_order_relaxed);
  Item item{Kind::kTx, m_nTxSeq++, time.WallMs()};
  item.bytes.assign(data, data + length);
  Enqueue(std::move(item));
}

void MqttPublisher::Enqueue(Item&& item) {
  // Producers on other threads (frames) may pass the bound by a message or
  // two; it bounds the memory held, not an exact count.
  if (m_nPending.load() >= m_options.maxPending) {
    m_nDropped.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  m_nPending.fetch_add(1);
  {
    std::lock_guard lock(m_cs);
    m_queue.push_back(std::move(item));
  }
  m_wake.notify_one();
}

MqttPublisher::Counters MqttPublisher::GetCounters() const {
  Counters counters;
  counters.published = m_nPublished.load();
  counters.dropped = m_nDropped.load();
  counters.sendAccepted = m_nSendAccepted.load();
  counters.sendRefused = m_nSendRefused.load();
  std::lock_guard lock(m_cs);
  counters.bConnected = m_bConnected;
  counters.lastError = m_strLastError;
  return counters;
}

void MqttPublisher::OnConnected(bool) {
  {
    std::lock_guard lock(m_cs);
    m_bConnected = true;
    m_bAnnounce = true;
    m_strLastError.clear();
  }
  m_wake.notify_all();
}

void MqttPublisher::OnDisconnected(const std::string& reason) {
  std::lock_guard lock(m_cs);
  m_bConnected = false;
  m_strLastError = reason;
}

void MqttPublisher::OnMessage(MqttMessage&& message) {
  {
    std::lock_guard lock(m_cs);
    m_sendQueue.push_back(std::move(message));
  }
  m_wake.notify_all();
}

void MqttPublisher::OnDelivered() { m_nPending.fetch_sub(1); }

void MqttPublisher::Run() {
  Clock::time_point lastStatus{};
  std::deque<Item> items;
  std::deque<MqttMessage> sends;
  for (;;) {
    bool announce = false;
    bool statusDue = false;
    bool stop = false;
    {
      std::unique_lock lock(m_cs);
      const auto interval = std::chrono::milliseconds(m_options.statusIntervalMs);
      // The counters change with every message: the status follows them at
      // its own pace. Idle and up to date, nothing wakes the thread.
      for (;;) {
        if (m_bStop || !m_queue.empty() || !m_sendQueue.empty() || m_bAnnounce) break;
        if (m_bStatusDirty && m_bConnected) {
          if (Clock::now() >= lastStatus + interval) break;
          m_wake.wait_until(lock, lastStatus + interval);
        } else {
          m_wake.wait(lock);
        }
      }
      items.swap(m_queue);
      sends.swap(m_sendQueue);
      announce = m_bAnnounce;
      m_bAnnounce = false;
      // Down, the status waits for the connect, which publishes it anyway.
      statusDue =
          announce || (m_bStatusDirty && m_bConnected && Clock::now() >= lastStatus + interval);
      stop = m_bStop;
    }
    // Online first: a viewer that connects meanwhile reads a capture that
    // is there before its data.
    if (announce) {
      PublishStatus(true);
      lastStatus = Clock::now();
    }
    for (MqttMessage& message : sends) TakeSend(message);
    sends.clear();
    for (Item& item : items) PublishItem(item);
    if (!items.empty()) {
      std::lock_guard lock(m_cs);
      m_bStatusDirty = true;
    }
    items.clear();
    if (statusDue && !announce) {
      PublishStatus(true);
      lastStatus = Clock::now();
    }
    if (stop) return;
  }
}

void MqttPublisher::PublishItem(Item& item) {
  switch (item.kind) {
    case Kind::kRx:
    case Kind::kTx:
      Publish(m_url.Topic(item.kind == Kind::kRx ? "rx" : "tx"), item.bytes.data(),
              item.bytes.size(), false, SequenceProperties(item.seq, item.time));
      break;
    case Kind::kLines: {
      const std::string json = LinesJson(item.lines);
      Publish(m_url.Topic("lines"), reinterpret_cast<const std::uint8_t*>(json.data()), json.size(),
              false, {});
      break;
    }
    case Kind::kFrame:
      Publish(m_url.Topic("frames"), reinterpret_cast<const std::uint8_t*>(item.json.data()),
              item.json.size(), false, {});
      break;
  }
}

void MqttPublisher::Publish(const std::string& topic, const std::uint8_t* data, std::size_t length,
                            bool retain, const std::vector<MqttUserProperty>& properties) {
  // The message counts as pending from its queueing on (the status from here).
  if (m_pClient->Publish(topic, data, length, kPublishQos, retain, properties) ==
      MqttPublishResult::kQueued) {
    m_nPublished.fetch_add(1, std::memory_order_relaxed);
  } else {
    m_nDropped.fetch_add(1, std::memory_order_relaxed);
    m_nPending.fetch_sub(1);
  }
}

void MqttPublisher::PublishStatus(bool online) {
  CaptureStatusReport status;
  {
    std::lock_guard lock(m_cs);
    status.device = m_description.device;
    status.line = m_description.line;
    status.port = m_description.port;
    m_bStatusDirty = false;
  }
  status.bOnline = online;
  status.rxBytes = m_nRxBytes.load();
  status.txBytes = m_nTxBytes.load();
  status.published = m_nPublished.load();
  status.dropped = m_nDropped.load();
  status.bAcceptSend = m_options.bAcceptSend;
  status.sendRefused = m_nSendRefused.load();
  status.time = NowMs();
  const std::string json = StatusJson(status);
  m_nPending.fetch_add(1);
  Publish(m_url.Topic("status"), reinterpret_cast<const std::uint8_t*>(json.data()), json.size(),
          true, {});
}

void MqttPublisher::TakeSend(MqttMessage& message) {
  // A retained message would be sent again at every connect: never taken.
  if (message.bRetained || message.topic != m_url.Topic("send") || message.payload.empty()) return;
  if (!m_options.bAcceptSend || !m_sendHandler) {
    m_nSendRefused.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  m_nSendAccepted.fetch_add(1, std::memory_order_relaxed);
  m_sendHandler(std::move(message.payload));
}

std::unique_ptr<MqttPublisher> MakeMqttPublisher(std::string_view url, MqttClientFactory factory,
                                                 const MqttPublisherOptions& options,
                                                 std::string* error) {
  const std::optional<MqttUrl> parsed = ParseMqttUrl(url, error);
  std::string password;
  if (!parsed || !ReadMqttPassword(*parsed, &password, error)) return nullptr;
  return std::make_unique<MqttPublisher>(*parsed, std::move(password), std::move(factory), options);
}

}  // namespace tarnwick
