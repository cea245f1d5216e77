#include "mqtt/mqtt_session.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

#include "platform/posix_wait.h"

namespace tarnwick {

namespace {

constexpr int kDataQos = 1;

// The "seq" user property, if the message has one.
std::optional<std::uint64_t> SequenceOf(const MqttMessage& message) {
  for (const MqttUserProperty& p : message.properties) {
    if (p.name != "seq") continue;
    std::uint64_t value = 0;
    const char* end = p.value.data() + p.value.size();
    if (std::from_chars(p.value.data(), end, value).ptr == end) return value;
  }
  return std::nullopt;
}

}  // namespace

MqttSession::MqttSession(MqttUrl url, std::string password, const MqttClientFactory& factory)
    : m_url(std::move(url)),
      m_strPassword(std::move(password)),
      m_eventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  MqttConnectOptions options;
  options.host = m_url.strHost;
  options.port = m_url.nPort;
  options.bTls = m_url.bTls;
  options.caFile = m_url.strCaFile;
  options.user = m_url.strUser;
  options.password = m_strPassword;
  // The status first: its retained message has arrived by the time the
  // data subscriptions are acknowledged.
  options.subscriptions = {{m_url.Topic("status"), kDataQos},
                           {m_url.Topic("rx"), kDataQos},
                           {m_url.Topic("tx"), kDataQos}};
  if (factory) m_pClient = factory(options, *this);
  UpdateStatusText();
}

MqttSession::~MqttSession() {
  if (m_pClient) m_pClient->Disconnect(1000);
  m_pClient.reset();  // no event comes after this
  if (m_eventFd >= 0) ::close(m_eventFd);
}

bool MqttSession::Start(std::string* error) {
  if (m_eventFd < 0 || !m_pClient) {
    *error = "the MQTT client cannot be made";
    return false;
  }
  return m_pClient->Start(error);
}

void MqttSession::Signal() const {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(m_eventFd, &one, sizeof one);
}

void MqttSession::Push(Event&& event) {
  {
    std::lock_guard lock(m_csEvents);
    if (event.kind == Event::kMessage) {
      const std::size_t size = event.message.payload.size();
      // A viewer that stopped reading must not fill the memory: the data
      // is dropped here, and the capture's numbering shows the gap.
      if (!event.message.topic.ends_with("/status") && m_nQueuedBytes + size > kMaxQueuedBytes) {
        ++m_nDroppedHere;
        return;
      }
      m_nQueuedBytes += size;
    }
    m_events.push_back(std::move(event));
  }
  Signal();
}

void MqttSession::OnConnected(bool) { Push({Event::kConnected}); }
void MqttSession::OnSubscribed() { Push({Event::kReady}); }
void MqttSession::OnDisconnected(const std::string& reason) {
  Push({Event::kDisconnected, reason});
}
void MqttSession::OnMessage(MqttMessage&& message) {
  Push({Event::kMessage, {}, std::move(message)});
}

void MqttSession::Attach(bool attached) {
  m_bAttached = attached;
  if (!attached) m_chunks.clear();
}

void MqttSession::Pump() {
  ConsumeWakeFd(m_eventFd);
  std::deque<Event> events;
  {
    std::lock_guard lock(m_csEvents);
    events.swap(m_events);
    m_nQueuedBytes = 0;
  }
  if (events.empty()) return;
  for (Event& event : events) {
    switch (event.kind) {
      case Event::kConnected:
        m_bConnected = true;
        m_strBrokerError.clear();
        break;
      case Event::kReady:
        m_bReady = m_bConnected;
        m_bDecided = true;
        break;
      case Event::kDisconnected:
        m_bConnected = false;
        m_bReady = false;
        m_bDecided = true;
        m_strBrokerError = event.reason;
        break;
      case Event::kMessage:
        TakeMessage(event.message);
        break;
    }
  }
  UpdateStatusText();
}

void MqttSession::TakeMessage(MqttMessage& message) {
  const std::string_view topic = message.topic;
  if (topic == m_url.Topic("status")) {
    // A status cleared on the broker (an empty retained message) says nothing.
    if (std::optional<CaptureStatusReport> status = ParseStatusJson(
            {reinterpret_cast<const char*>(message.payload.data()), message.payload.size()})) {
      m_status = std::move(status);
    }
    return;
  }
  const bool sent = topic == m_url.Topic("tx");
  if (!sent && topic != m_url.Topic("rx")) return;
  if (!TakeSequence(message, sent ? &m_nNextTxSeq : &m_nNextRxSeq)) return;
  // Only what arrives while the capture is there and a device reads it.
  if (!m_bAttached || !CaptureOnline() || message.payload.empty()) return;
  m_chunks.push_back({sent, std::move(message.payload)});
}

bool MqttSession::TakeSequence(const MqttMessage& message, std::uint64_t* next) {
  const std::optional<std::uint64_t> seq = SequenceOf(message);
  if (!seq) return true;  // an MQTT 3.1.1 broker passes no numbers
  // A capture numbers from 0 when it starts. Any other number below the
  // next is one sent again after a broken connection: it is shown once.
  if (*seq < *next && *seq != 0) return false;
  if (*seq > *next && *next != 0) {
    std::lock_guard lock(m_csText);
    m_nMissing += *seq - *next;
  }
  *next = *seq + 1;
  return true;
}

bool MqttSession::PublishSend(const std::uint8_t* data, std::size_t length) {
  return m_pClient->Publish(m_url.Topic("send"), data, length, 2, false, {}) ==
         MqttPublishResult::kQueued;
}

void MqttSession::UpdateStatusText() {
  std::string text;
  if (!m_bDecided) {
    text = "connecting to the broker";
  } else if (!m_bReady) {
    text = "broker unreachable" + (m_strBrokerError.empty() ? "" : ": " + m_strBrokerError);
  } else if (!m_status) {
    text = "no capture publishes at " + m_url.strPrefix;
  } else {
    const CaptureStatusReport& s = *m_status;
    text = std::string("capture ") + (s.bOnline ? "online" : "offline");
    if (!s.device.empty()) text += ": " + s.device;
    if (!s.line.empty()) text += " " + s.line;
    if (!s.port.empty()) text += ", port " + s.port;
    text += ", rx " + std::to_string(s.rxBytes) + " B, tx " + std::to_string(s.txBytes) + " B";
    if (s.dropped != 0) text += ", " + std::to_string(s.dropped) + " dropped there";
  }
  std::uint64_t dropped = 0;
  {
    std::lock_guard lock(m_csEvents);
    dropped = m_nDroppedHere;
  }
  std::lock_guard lock(m_csText);
  if (m_nMissing != 0) text += ", " + std::to_string(m_nMissing) + " messages missing";
  if (dropped != 0) text += ", " + std::to_string(dropped) + " dropped here";
  m_strStatusText = std::move(text);
  m_strBrokerReason = m_bReady ? std::string() : m_strBrokerError;
}

std::string MqttSession::BrokerReason() const {
  std::lock_guard lock(m_csText);
  return m_strBrokerReason;
}

std::string MqttSession::StatusText() const {
  std::lock_guard lock(m_csText);
  return m_strStatusText;
}

std::uint64_t MqttSession::MissingMessages() const {
  std::lock_guard lock(m_csText);
  return m_nMissing;
}

}  // namespace tarnwick
