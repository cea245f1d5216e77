#include "mqtt/mosquitto/mosquitto_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/error_text.h"

namespace tarnwick {

namespace {

using Clock = std::chrono::steady_clock;

// The loop's longest wait for the socket: how long a stop may take to be seen.
constexpr int kLoopMs = 250;
// How long a client being destroyed waits for its thread (a name lookup in
// progress cannot be cut short) before leaving it to end on its own.
constexpr auto kThreadEndLimit = std::chrono::seconds(2);

// The state the loop thread and the client share. The thread keeps it alive,
// so a thread left behind in a name lookup never touches freed memory.
struct Core {
  MqttConnectOptions options;
  mosquitto* mosq = nullptr;

  // Events go out only while the client exists.
  std::mutex csEvents;
  MqttClientEvents* events = nullptr;

  std::mutex cs;
  std::condition_variable changed;
  bool bStop = false;             // the client is going: end at once
  bool bDisconnectAsked = false;  // end cleanly once the outstanding publishes went
  Clock::time_point disconnectDeadline;
  bool bFinished = false;

  std::atomic<bool> bConnected{false};
  std::atomic<bool> bMqtt5{true};
  std::atomic<int> nOutstanding{0};  // queued publishes not yet reported

  // Loop thread only.
  std::size_t nSubscribed = 0;
  bool bRetryAtOnce = false;  // the broker asked for MQTT 3.1.1: no back-off
  bool bDisconnectSent = false;
  std::string strRefusal;

  // The library's last error message (a TLS failure's reason); the library
  // may log from any thread that calls it.
  std::mutex csLog;
  std::string strLastError;

  ~Core() {
    if (mosq != nullptr) mosquitto_destroy(mosq);
  }

  template <typename Call>
  void Tell(Call call) {
    std::lock_guard lock(csEvents);
    if (events != nullptr) call(*events);
  }
  std::string LastError() {
    std::lock_guard lock(csLog);
    return strLastError;
  }

  void Run();
  bool RunConnection(int* rc);
  void Backoff(int ms);
  std::string Reason(int rc, int savedErrno);
};

Core& CoreOf(void* user) { return *static_cast<Core*>(user); }

void OnLog(mosquitto*, void* user, int level, const char* text) {
  if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) == 0 || text == nullptr) return;
  Core& core = CoreOf(user);
  std::lock_guard lock(core.csLog);
  core.strLastError = text;
}

void SubscribeNext(Core& core) {
  const auto& subscriptions = core.options.subscriptions;
  if (core.nSubscribed >= subscriptions.size()) return;
  const MqttSubscription& next = subscriptions[core.nSubscribed];
  mosquitto_subscribe_v5(core.mosq, nullptr, next.topic.c_str(), next.qos, 0, nullptr);
}

void OnConnect(mosquitto* mosq, void* user, int rc, int, const mosquitto_property*) {
  Core& core = CoreOf(user);
  if (rc == 0) {
    core.strRefusal.clear();
    core.bConnected = true;
    core.nSubscribed = 0;
    const bool mqtt5 = core.bMqtt5.load();
    core.Tell([&](MqttClientEvents& events) { events.OnConnected(mqtt5); });
    // One subscription at a time: the next goes when the last was
    // acknowledged, so its retained messages come before the next's.
    if (core.options.subscriptions.empty()) {
      core.Tell([](MqttClientEvents& events) { events.OnSubscribed(); });
    } else {
      SubscribeNext(core);
    }
    return;
  }
  if (core.bMqtt5 &&
      (rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || rc == CONNACK_REFUSED_PROTOCOL_VERSION)) {
    // A broker of MQTT 3.1.1 only: the same again without properties.
    core.bMqtt5 = false;
    mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    core.bRetryAtOnce = true;
    return;
  }
  core.strRefusal = std::string("the broker refused the connection: ") +
                    (core.bMqtt5 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc));
}

void OnSubscribe(mosquitto*, void* user, int, int, const int*, const mosquitto_property*) {
  Core& core = CoreOf(user);
  ++core.nSubscribed;
  if (core.nSubscribed == core.options.subscriptions.size()) {
    core.Tell([](MqttClientEvents& events) { events.OnSubscribed(); });
  } else {
    SubscribeNext(core);
  }
}

void OnDisconnect(mosquitto*, void* user, int, const mosquitto_property*) {
  CoreOf(user).bConnected = false;
}

void OnPublish(mosquitto*, void* user, int, int, const mosquitto_property*) {
  Core& core = CoreOf(user);
  core.nOutstanding.fetch_sub(1);
  core.Tell([](MqttClientEvents& events) { events.OnDelivered(); });
}

void OnMessage(mosquitto*, void* user, const mosquitto_message* message,
               const mosquitto_property* properties) {
  Core& core = CoreOf(user);
  MqttMessage out;
  out.topic = message->topic;
  const auto* payload = static_cast<const std::uint8_t*>(message->payload);
  if (message->payloadlen > 0) out.payload.assign(payload, payload + message->payloadlen);
  out.bRetained = message->retain;
  char* name = nullptr;
  char* value = nullptr;
  for (const mosquitto_property* p = mosquitto_property_read_string_pair(
           properties, MQTT_PROP_USER_PROPERTY, &name, &value, false);
       p != nullptr;
       p = mosquitto_property_read_string_pair(p, MQTT_PROP_USER_PROPERTY, &name, &value, true)) {
    out.properties.push_back({name, value});
    std::free(name);
    std::free(value);
    name = value = nullptr;
  }
  core.Tell([&](MqttClientEvents& events) { events.OnMessage(std::move(out)); });
}

std::string Core::Reason(int rc, int savedErrno) {
  if (!strRefusal.empty()) return strRefusal;
  const std::string logged = LastError();
  if (rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE) {
    return "TLS failed: " + (logged.empty() ? std::string(mosquitto_strerror(rc)) : logged);
  }
  if (rc == MOSQ_ERR_ERRNO) {
    return savedErrno != 0 ? SystemErrorText(savedErrno) : std::string("connection failed");
  }
  if (rc == MOSQ_ERR_EAI) return "the broker's name cannot be looked up";
  std::string reason = mosquitto_strerror(rc);
  if (!logged.empty()) reason += " (" + logged + ")";
  return reason;
}

void Core::Backoff(int ms) {
  std::unique_lock lock(cs);
  changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return bStop || bDisconnectAsked; });
}

// Drives one connection from its start to its end; true when the broker had
// accepted it. *rc: why it ended.
bool Core::RunConnection(int* rc) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(options.connectLimitMs);
  bool accepted = false;
  for (;;) {
    *rc = mosquitto_loop(mosq, kLoopMs, 1);
    if (*rc != MOSQ_ERR_SUCCESS) break;
    accepted = accepted || bConnected;
    if (bDisconnectSent && !bConnected) break;
    if (!accepted && Clock::now() > deadline) {
      *rc = MOSQ_ERR_TIMEOUT;
      break;
    }
    std::unique_lock lock(cs);
    if (bStop) break;
    if (bDisconnectAsked && !bDisconnectSent) {
      const bool late = Clock::now() >= disconnectDeadline;
      // A connection still being made gets until the deadline to take what
      // waits; one that is up says goodbye once everything was confirmed.
      if (!bConnected && late) break;
      if (bConnected && (late || nOutstanding.load() <= 0)) {
        lock.unlock();
        bDisconnectSent = true;
        if (mosquitto_disconnect(mosq) != MOSQ_ERR_SUCCESS) break;
      }
    }
  }
  return accepted;
}

void Core::Run() {
  int delayMs = options.reconnectMinMs;
  bool first = true;
  for (;;) {
    {
      std::lock_guard lock(cs);
      if (bStop || bDisconnectAsked) break;
    }
    {
      std::lock_guard lock(csLog);
      strLastError.clear();
    }
    strRefusal.clear();
    bRetryAtOnce = false;
    errno = 0;
    // The first call keeps the address; the sockets it makes for waking the
    // loop are kept too, since other threads' publishes use them.
    int rc = first ? mosquitto_connect_bind_async(mosq, options.host.c_str(), options.port,
                                                  options.keepAliveSeconds, nullptr)
                   : mosquitto_reconnect_async(mosq);
    int savedErrno = errno;
    if (first && rc == MOSQ_ERR_INVAL) {
      Tell([](MqttClientEvents& events) {
        events.OnDisconnected("the broker's address is invalid");
      });
      break;
    }
    first = false;
    bool accepted = false;
    if (rc == MOSQ_ERR_SUCCESS) {
      accepted = RunConnection(&rc);
      savedErrno = errno;
    }
    bConnected = false;
    {
      std::lock_guard lock(cs);
      if (bStop || bDisconnectSent || (bDisconnectAsked && !accepted)) break;
    }
    if (bRetryAtOnce) continue;
    const std::string reason = Reason(rc, savedErrno);
    Tell([&](MqttClientEvents& events) { events.OnDisconnected(reason); });
    if (accepted) delayMs = options.reconnectMinMs;
    Backoff(delayMs);
    delayMs = std::min(delayMs * 2, options.reconnectMaxMs);
  }
  std::lock_guard lock(cs);
  bFinished = true;
  changed.notify_all();
}

class MosquittoClient final : public MqttClient {
 public:
  MosquittoClient(const MqttConnectOptions& options, MqttClientEvents& events)
      : m_core(std::make_shared<Core>()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mosquitto_lib_init(); });
    m_core->options = options;
    m_core->events = &events;
  }

  ~MosquittoClient() override {
    {
      std::lock_guard lock(m_core->csEvents);
      m_core->events = nullptr;
    }
    if (!m_thread.joinable()) return;
    std::unique_lock lock(m_core->cs);
    m_core->bStop = true;
    m_core->changed.notify_all();
    if (m_core->changed.wait_for(lock, kThreadEndLimit, [&] { return m_core->bFinished; })) {
      lock.unlock();
      m_thread.join();
    } else {
      m_thread.detach();  // it holds the core and ends with it
    }
  }

  bool Start(std::string* error) override {
    Core& core = *m_core;
    const MqttConnectOptions& options = core.options;
    const std::string clientId = options.clientId;
    core.mosq = mosquitto_new(clientId.empty() ? nullptr : clientId.c_str(), true, &core);
    if (core.mosq == nullptr) {
      *error = "the MQTT client cannot be made: " + SystemErrorText(errno);
      return false;
    }
    mosquitto_int_option(core.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_threaded_set(core.mosq, true);
    mosquitto_log_callback_set(core.mosq, &OnLog);
    mosquitto_connect_v5_callback_set(core.mosq, &OnConnect);
    mosquitto_disconnect_v5_callback_set(core.mosq, &OnDisconnect);
    mosquitto_publish_v5_callback_set(core.mosq, &OnPublish);
    mosquitto_message_v5_callback_set(core.mosq, &OnMessage);
    mosquitto_subscribe_v5_callback_set(core.mosq, &OnSubscribe);
    if (!options.user.empty() &&
        mosquitto_username_pw_set(core.mosq, options.user.c_str(),
                                  options.password.empty() ? nullptr : options.password.c_str()) !=
            MOSQ_ERR_SUCCESS) {
      *error = "the user name or password cannot be used";
      return false;
    }
    if (options.will) {
      const MqttWill& will = *options.will;
      if (mosquitto_will_set(core.mosq, will.topic.c_str(), static_cast<int>(will.payload.size()),
                             will.payload.data(), will.qos, will.bRetain) != MOSQ_ERR_SUCCESS) {
        *error = "the last will cannot be set on " + will.topic;
        return false;
      }
    }
    if (options.bTls && !SetUpTls(error)) return false;
    m_thread = std::thread([core = m_core] { core->Run(); });
    return true;
  }

  MqttPublishResult Publish(const std::string& topic, const std::uint8_t* data, std::size_t length,
                            int qos, bool retain,
                            const std::vector<MqttUserProperty>& properties) override {
    Core& core = *m_core;
    // Nothing is queued for a connection that is down: the library's queue
    // has no bound, and what it held over a broker's restart could wait
    // there behind its in-flight window for good.
    if (core.mosq == nullptr || !core.bConnected || length > MQTT_MAX_PAYLOAD)
      return MqttPublishResult::kNotAccepted;
    qos = std::clamp(qos, 1, 2);
    mosquitto_property* list = nullptr;
    if (core.bMqtt5) {
      for (const MqttUserProperty& p : properties) {
        mosquitto_property_add_string_pair(&list, MQTT_PROP_USER_PROPERTY, p.name.c_str(),
                                           p.value.c_str());
      }
    }
    core.nOutstanding.fetch_add(1);
    int rc = mosquitto_publish_v5(core.mosq, nullptr, topic.c_str(), static_cast<int>(length), data,
                                  qos, retain, list);
    if (rc == MOSQ_ERR_NOT_SUPPORTED && list != nullptr) {
      // The connection fell back to MQTT 3.1.1 meanwhile.
      rc = mosquitto_publish_v5(core.mosq, nullptr, topic.c_str(), static_cast<int>(length), data,
                                qos, retain, nullptr);
    }
    mosquitto_property_free_all(&list);
    // The connection may have gone meanwhile: the library keeps the message
    // for the next one.
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) return MqttPublishResult::kQueued;
    core.nOutstanding.fetch_sub(1);
    return MqttPublishResult::kNotAccepted;
  }

  void Disconnect(int timeoutMs) override {
    if (!m_thread.joinable()) return;
    std::unique_lock lock(m_core->cs);
    m_core->bDisconnectAsked = true;
    m_core->disconnectDeadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    m_core->changed.notify_all();
    m_core->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs) + kThreadEndLimit,
                             [&] { return m_core->bFinished; });
  }

 private:
  // Verifies the broker against the CA file, or the system's store, and
  // its name against its certificate. There is no way back to plain text.
  bool SetUpTls(std::string* error) {
    Core& core = *m_core;
    const std::string& caFile = core.options.caFile;
    int rc = MOSQ_ERR_SUCCESS;
    if (caFile.empty()) {
      rc = mosquitto_int_option(core.mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    } else {
      rc = mosquitto_tls_set(core.mosq, caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
      *error = caFile.empty() ? std::string("the system's CA store cannot be used")
                              : "the CA file " + caFile + " cannot be read";
      return false;
    }
    mosquitto_tls_opts_set(core.mosq, 1, nullptr, nullptr);  // SSL_VERIFY_PEER
    mosquitto_tls_insecure_set(core.mosq, false);
    return true;
  }

  std::shared_ptr<Core> m_core;
  std::thread m_thread;
};

}  // namespace

std::unique_ptr<MqttClient> CreateMosquittoClient(const MqttConnectOptions& options,
                                                  MqttClientEvents& events) {
  return std::make_unique<MosquittoClient>(options, events);
}

MqttClientFactory MosquittoClientFactory() { return &CreateMosquittoClient; }

}  // namespace tarnwick
