// "mqtt://host[:port]/PREFIX" as a device: the capture publishing under
// PREFIX, watched through the broker. Its received stream is the capture's
// rx; the capture's tx is the second stream (PeerCapture); writing publishes
// to PREFIX/send with QoS 2. While the capture is offline, or the broker
// cannot be reached, reads fail as a lost device's do. Its PollDescriptor is
// the session's eventfd, readable when something arrived.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mqtt/mqtt_session.h"
#include "port/peer_capture.h"
#include "port/serial_device.h"

namespace tarnwick {

class MqttDevice final : public SerialDevice, public PeerCapture {
 public:
  // Written bytes are gathered and published once this many wait, or at the
  // next read or wait: the worker hands a block over a byte at a time.
  static constexpr std::size_t kSendGather = 16 * 1024;

  // wakeFd: the backend's wake-up, which every wait also watches.
  MqttDevice(std::shared_ptr<MqttSession> session, int wakeFd);
  ~MqttDevice() override;
  MqttDevice(const MqttDevice&) = delete;
  MqttDevice& operator=(const MqttDevice&) = delete;

  // A remote port has no line settings of its own here: they are the
  // capture's, shown in its status.
  bool SetCommState(const DCB&) override { return true; }
  bool SetCommTimeouts(const COMMTIMEOUTS&) override { return true; }
  int LastError() const override { return m_lastError; }

  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override;
  IoResult Write(const std::uint8_t* data, std::size_t length) override;
  WaitResult Wait(bool wantWrite, int timeoutMs) override;
  int PollDescriptor() const override { return m_pSession->EventDescriptor(); }

  void SetPeerSentSink(SentDataSink* sink) override { m_pSentSink = sink; }
  std::string PeerStatusText() const override { return m_pSession->StatusText(); }

 private:
  // Takes what arrived; notes the loss when the capture went.
  void Refresh();
  void FlushSend();

  std::shared_ptr<MqttSession> m_pSession;
  int m_wakeFd;
  int m_lastError = 0;
  int m_lostError = 0;  // set once the capture or the broker went
  SentDataSink* m_pSentSink = nullptr;
  std::vector<std::uint8_t> m_send;
};

}  // namespace tarnwick
