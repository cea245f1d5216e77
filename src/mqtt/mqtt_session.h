// A viewer's connection to a capture through the broker: subscribed to
// PREFIX/status, rx and tx, it follows the capture's state and keeps its
// data for the "mqtt://" device. The library's thread only queues what
// arrives and signals an eventfd; the worker takes it in Pump(). The session
// outlives the devices opened on it, so a lost port's retries, twice a
// second, ask it for the state instead of connecting anew.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mqtt/mqtt_client.h"
#include "mqtt/mqtt_json.h"
#include "mqtt/mqtt_url.h"

namespace tarnwick {

class MqttSession final : private MqttClientEvents {
 public:
  // Data waiting in the queue beyond this is dropped (and shows as a gap).
  static constexpr std::size_t kMaxQueuedBytes = 32u << 20;

  MqttSession(MqttUrl url, std::string password, const MqttClientFactory& factory);
  ~MqttSession() override;
  MqttSession(const MqttSession&) = delete;
  MqttSession& operator=(const MqttSession&) = delete;

  bool Start(std::string* error);
  const MqttUrl& Url() const { return m_url; }
  // Readable while events wait for Pump().
  int EventDescriptor() const { return m_eventFd; }
  // Sets the descriptor readable again (data remains after a read).
  void Signal() const;

  // Worker thread from here on.
  void Pump();
  // While a device is attached the capture's data is kept; detached, what
  // waits is dropped and nothing more is kept.
  void Attach(bool attached);

  // Whether the first connection attempt has had its outcome.
  bool Decided() const { return m_bDecided; }
  // Connected and every subscription acknowledged: the status is known if
  // the capture ever published one.
  bool Ready() const { return m_bReady; }
  bool StatusKnown() const { return m_status.has_value(); }
  bool CaptureOnline() const { return m_bReady && m_status && m_status->bOnline; }
  const std::string& BrokerError() const { return m_strBrokerError; }

  struct Chunk {
    bool bSent;  // the far side's sent direction
    std::vector<std::uint8_t> bytes;
  };
  std::deque<Chunk>& Chunks() { return m_chunks; }

  // Bytes for the far device, with QoS 2; false when the client refused them.
  bool PublishSend(const std::uint8_t* data, std::size_t length);

  // Any thread: the capture's state in words, for the status bar.
  std::string StatusText() const;
  // Any thread: why the broker connection last failed; empty while it is up.
  std::string BrokerReason() const;
  // Any thread: messages the capture numbered that never arrived here.
  std::uint64_t MissingMessages() const;

 private:
  struct Event {
    enum Kind { kConnected, kReady, kDisconnected, kMessage } kind = kConnected;
    std::string reason = {};
    MqttMessage message = {};
  };

  // MqttClientEvents, on the library's thread.
  void OnConnected(bool mqtt5) override;
  void OnSubscribed() override;
  void OnDisconnected(const std::string& reason) override;
  void OnMessage(MqttMessage&& message) override;
  void Push(Event&& event);

  void TakeMessage(MqttMessage& message);
  // Follows the capture's numbering: counts what is missing; false for a
  // message seen before.
  bool TakeSequence(const MqttMessage& message, std::uint64_t* next);
  void UpdateStatusText();

  const MqttUrl m_url;
  const std::string m_strPassword;
  std::unique_ptr<MqttClient> m_pClient;
  int m_eventFd = -1;

  std::mutex m_csEvents;
  std::deque<Event> m_events;
  std::size_t m_nQueuedBytes = 0;  // message payloads in m_events
  std::uint64_t m_nDroppedHere = 0;

  // Worker thread.
  bool m_bDecided = false;
  bool m_bConnected = false;
  bool m_bReady = false;
  bool m_bAttached = false;
  std::string m_strBrokerError;
  std::optional<CaptureStatusReport> m_status;
  std::deque<Chunk> m_chunks;
  std::uint64_t m_nNextRxSeq = 0;
  std::uint64_t m_nNextTxSeq = 0;

  mutable std::mutex m_csText;
  std::string m_strStatusText;
  std::string m_strBrokerReason;
  std::uint64_t m_nMissing = 0;
};

}  // namespace tarnwick
