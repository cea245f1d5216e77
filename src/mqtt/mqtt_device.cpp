#include "mqtt/mqtt_device.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "mqtt/mqtt_serial_backend.h"
#include "platform/posix_wait.h"

namespace tarnwick {

MqttDevice::MqttDevice(std::shared_ptr<MqttSession> session, int wakeFd)
    : m_pSession(std::move(session)), m_wakeFd(wakeFd) {
  m_pSession->Attach(true);
}

MqttDevice::~MqttDevice() {
  FlushSend();
  m_pSession->Attach(false);
}

void MqttDevice::Refresh() {
  MqttSession& session = *m_pSession;
  session.Pump();
  if (m_lostError != 0) return;
  if (!session.Ready()) {
    m_lostError = kMqttUnreachableError;
  } else if (!session.CaptureOnline()) {
    m_lostError = session.StatusKnown() ? kMqttOfflineError : kMqttNoCaptureError;
  }
}

void MqttDevice::FlushSend() {
  if (m_send.empty()) return;
  // The capture went meanwhile: the bytes cannot reach its device.
  if (!m_pSession->PublishSend(m_send.data(), m_send.size()) && m_lostError == 0)
    m_lostError = kMqttUnreachableError;
  m_send.clear();
}

IoResult MqttDevice::Read(std::uint8_t* buffer, std::size_t capacity) {
  FlushSend();
  Refresh();
  std::deque<MqttSession::Chunk>& chunks = m_pSession->Chunks();
  std::size_t count = 0;
  while (!chunks.empty() && count < capacity) {
    MqttSession::Chunk& chunk = chunks.front();
    if (chunk.bSent) {
      // The far side's sent bytes go before the received ones after them;
      // received bytes already taken end this read first.
      if (count > 0) break;
      if (m_pSentSink != nullptr && !chunk.bytes.empty())
        m_pSentSink->OnSent(chunk.bytes.data(), chunk.bytes.size(), ReadTime::Now());
      chunks.pop_front();
      continue;
    }
    const std::size_t take = std::min(capacity - count, chunk.bytes.size());
    std::memcpy(buffer + count, chunk.bytes.data(), take);
    count += take;
    if (take == chunk.bytes.size()) {
      chunks.pop_front();
    } else {
      chunk.bytes.erase(chunk.bytes.begin(),
                        chunk.bytes.begin() + static_cast<std::ptrdiff_t>(take));
    }
  }
  // What is left keeps the descriptor readable for the worker's poll.
  if (!chunks.empty()) m_pSession->Signal();
  // What arrived before the capture went is read first.
  if (count == 0 && chunks.empty() && m_lostError != 0) {
    m_lastError = m_lostError;
    return {0, m_lostError};
  }
  return {count, 0};
}

IoResult MqttDevice::Write(const std::uint8_t* data, std::size_t length) {
  Refresh();
  if (m_lostError != 0) {
    m_lastError = m_lostError;
    return {0, m_lostError};
  }
  m_send.insert(m_send.end(), data, data + length);
  if (m_send.size() >= kSendGather) FlushSend();
  return {length, 0};
}

WaitResult MqttDevice::Wait(bool wantWrite, int timeoutMs) {
  FlushSend();
  Refresh();
  if (!m_pSession->Chunks().empty() || m_lostError != 0 || wantWrite) return WaitResult::kReady;
  const WaitClock::time_point deadline =
      WaitClock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    struct pollfd fds[2] = {{m_pSession->EventDescriptor(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready =
        ::poll(fds, m_wakeFd >= 0 ? 2 : 1, timeoutMs < 0 ? -1 : MillisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return WaitResult::kTimeout;
    if ((fds[1].revents & POLLIN) && ConsumeWakeFd(m_wakeFd)) return WaitResult::kWoken;
    if (fds[0].revents & POLLIN) {
      Refresh();
      if (!m_pSession->Chunks().empty() || m_lostError != 0) return WaitResult::kReady;
    }
  }
}

}  // namespace tarnwick
