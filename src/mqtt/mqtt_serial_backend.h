// The platform's serial backend with "mqtt://" and "mqtts://" names added: a
// COM number mapped to such a URL opens an MqttDevice, anything else goes to
// the platform's backend, which also does all the waiting and waking.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mqtt/mqtt_client.h"
#include "mqtt/mqtt_session.h"
#include "port/serial_device.h"

namespace tarnwick {

// Error codes of the MQTT devices beside the platform's own.
inline constexpr int kMqttErrorBase = 0x4D510000;
inline constexpr int kMqttBadUrlError = kMqttErrorBase + 1;       // or unusable settings
inline constexpr int kMqttCredentialError = kMqttErrorBase + 2;   // the password was refused
inline constexpr int kMqttUnreachableError = kMqttErrorBase + 3;  // the broker, with its reason
inline constexpr int kMqttOfflineError = kMqttErrorBase + 4;      // the capture says offline
inline constexpr int kMqttNoCaptureError = kMqttErrorBase + 5;    // nothing publishes there
inline bool IsMqttError(int error) {
  return error > kMqttErrorBase && error <= kMqttNoCaptureError;
}

class MqttSerialBackend final : public SerialBackend {
 public:
  // How long the first open waits for the broker's answer.
  static constexpr int kFirstAnswerMs = 10000;

  MqttSerialBackend(std::unique_ptr<SerialBackend> platform, MqttClientFactory factory);
  ~MqttSerialBackend() override;

  std::unique_ptr<SerialDevice> Open(const std::string& portName, int* error) override;
  std::string ErrorText(int error) const override;
  bool IsDeviceGone(int error) const override;
  bool IsDeviceMissing(int error) const override;
  std::string OpenFailureAdvice(const std::string& portName, int error) const override;
  WaitResult Sleep(int timeoutMs) override { return m_pPlatform->Sleep(timeoutMs); }
  void Wake() override { m_pPlatform->Wake(); }
  int WakeDescriptor() const override { return m_pPlatform->WakeDescriptor(); }
  bool ConsumeWake() override { return m_pPlatform->ConsumeWake(); }

  // Any thread: the watched capture's state in words; empty when no
  // "mqtt://" port is in use. It stays while a lost port is retried.
  std::string RemoteStatusText() const;

 private:
  std::unique_ptr<SerialDevice> Fail(int code, std::string text, int* error);
  // Waits for the first answer of a new session; false after a wake-up.
  bool AwaitFirstAnswer(MqttSession& session);

  std::unique_ptr<SerialBackend> m_pPlatform;
  MqttClientFactory m_factory;
  // Worker thread: the session of the URL last opened.
  std::shared_ptr<MqttSession> m_pSession;
  mutable std::mutex m_cs;
  std::string m_strReason;  // the detail of the last MQTT failure
  std::shared_ptr<MqttSession> m_pShownSession;
};

}  // namespace tarnwick
