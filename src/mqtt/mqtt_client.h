// The MQTT client as the rest of the program sees it: one connection to a
// broker that keeps itself up, reconnecting with back-off, and publishes and
// subscribes over it. The library behind it runs a thread of its own, which
// reaches our code only through MqttClientEvents: every handler does no more
// than push onto a queue or count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// An MQTT 5 user property: a name and a value, both UTF-8.
struct MqttUserProperty {
  std::string name;
  std::string value;
  friend bool operator==(const MqttUserProperty&, const MqttUserProperty&) = default;
};

struct MqttMessage {
  std::string topic;
  std::vector<std::uint8_t> payload;
  bool bRetained = false;
  std::vector<MqttUserProperty> properties;  // none from an MQTT 3.1.1 broker
};

struct MqttWill {
  std::string topic;
  std::string payload;
  int qos = 1;
  bool bRetain = true;
};

struct MqttSubscription {
  std::string topic;
  int qos = 1;
};

struct MqttConnectOptions {
  std::string host;
  int port = 1883;
  bool bTls = false;
  std::string caFile;  // TLS: empty trusts the system's store
  std::string user;    // empty: none
  std::string password;
  std::string clientId;  // empty: the library makes one
  int keepAliveSeconds = 20;
  std::optional<MqttWill> will;
  // Made again at every connect (the session starts clean each time), one
  // after the other in this order.
  std::vector<MqttSubscription> subscriptions;
  // The pause after a failed or lost connection doubles from the first
  // value to the second.
  int reconnectMinMs = 500;
  int reconnectMaxMs = 30000;
  // A connection the broker has not accepted this long after the attempt
  // began is given up and tried again.
  int connectLimitMs = 10000;
};

// Called on the library's thread: queue pushes and counts only.
class MqttClientEvents {
 public:
  virtual ~MqttClientEvents() = default;
  // The broker accepted the connection; mqtt5 says whether user properties
  // travel (an MQTT 3.1.1 broker gets the messages without them).
  virtual void OnConnected(bool mqtt5) = 0;
  // Every subscription of this connection was acknowledged; retained
  // messages of the earlier ones have arrived by then.
  virtual void OnSubscribed() {}
  // A connection attempt failed or an established connection was lost; the
  // reason in words (a TLS failure names what the library saw). The client
  // tries again after its back-off.
  virtual void OnDisconnected(const std::string& reason) = 0;
  virtual void OnMessage(MqttMessage&& message) = 0;
  // A publish with QoS 1 or 2 that the broker confirmed, or one that the
  // library gave up (a refused one); each queued publish is reported once.
  virtual void OnDelivered() {}
};

enum class MqttPublishResult {
  kQueued,       // on its way; OnDelivered follows once
  kNotAccepted,  // too large, a topic the library refuses, no memory: dropped
};

class MqttClient {
 public:
  // Closes the connection without a word if Disconnect did not end it: the
  // broker then publishes the will.
  virtual ~MqttClient() = default;

  // Starts connecting on the library's thread. False, with the reason, when
  // the options cannot work at all (a CA file that cannot be read).
  virtual bool Start(std::string* error) = 0;

  // Any thread; qos 1 or 2. Refused while the connection is down; one taken
  // and not yet confirmed when the connection breaks is sent again on the
  // next. Properties are dropped on an MQTT 3.1.1 connection.
  virtual MqttPublishResult Publish(const std::string& topic, const std::uint8_t* data,
                                    std::size_t length, int qos, bool retain,
                                    const std::vector<MqttUserProperty>& properties) = 0;

  // Ends the connection cleanly (so the broker discards the will) once every
  // publish made before has been confirmed, or after timeoutMs; then the
  // client stays down.
  virtual void Disconnect(int timeoutMs) = 0;
};

// Makes a client that reports to events, which must outlive it.
using MqttClientFactory =
    std::function<std::unique_ptr<MqttClient>(const MqttConnectOptions&, MqttClientEvents&)>;

}  // namespace tarnwick
