#include "mqtt/mqtt_serial_backend.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "mqtt/mqtt_credentials.h"
#include "mqtt/mqtt_device.h"
#include "mqtt/mqtt_url.h"
#include "platform/com_names.h"
#include "platform/error_text.h"
#include "platform/posix_wait.h"

namespace tarnwick {

MqttSerialBackend::MqttSerialBackend(std::unique_ptr<SerialBackend> platform,
                                     MqttClientFactory factory)
    : m_pPlatform(std::move(platform)), m_factory(std::move(factory)) {}

MqttSerialBackend::~MqttSerialBackend() = default;

std::unique_ptr<SerialDevice> MqttSerialBackend::Fail(int code, std::string text, int* error) {
  std::lock_guard lock(m_cs);
  m_strReason = std::move(text);
  *error = code;
  return nullptr;
}

bool MqttSerialBackend::AwaitFirstAnswer(MqttSession& session) {
  const WaitClock::time_point deadline =
      WaitClock::now() + std::chrono::milliseconds(kFirstAnswerMs);
  const int wakeFd = m_pPlatform->WakeDescriptor();
  session.Pump();
  while (!session.Decided() && WaitClock::now() < deadline) {
    struct pollfd fds[2] = {{session.EventDescriptor(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, MillisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready > 0 && (fds[1].revents & POLLIN) && ConsumeWakeFd(wakeFd)) return false;
    session.Pump();
  }
  return true;
}

std::unique_ptr<SerialDevice> MqttSerialBackend::Open(const std::string& portName, int* error) {
  *error = 0;
  const std::string path = ResolvePortPath(portName);
  if (!IsMqttUrl(path)) {
    m_pSession.reset();
    {
      std::lock_guard lock(m_cs);
      m_pShownSession.reset();
    }
    return m_pPlatform->Open(portName, error);
  }
  std::string problem;
  const std::optional<MqttUrl> url = ParseMqttUrl(path, &problem);
  if (!url) return Fail(kMqttBadUrlError, problem, error);

  if (!m_pSession || !(m_pSession->Url() == *url)) {
    m_pSession.reset();
    std::string password;
    if (!ReadMqttPassword(*url, &password, &problem))
      return Fail(kMqttCredentialError, problem, error);
    auto session = std::make_shared<MqttSession>(*url, std::move(password), m_factory);
    if (!session->Start(&problem)) return Fail(kMqttBadUrlError, problem, error);
    m_pSession = std::move(session);
    std::lock_guard lock(m_cs);
    m_pShownSession = m_pSession;
  }
  MqttSession& session = *m_pSession;
  if (!AwaitFirstAnswer(session)) {
    *error = ECANCELED;
    return nullptr;
  }
  session.Pump();
  if (!session.Ready()) {
    *error = kMqttUnreachableError;
    return nullptr;
  }
  if (!session.CaptureOnline()) {
    *error = session.StatusKnown() ? kMqttOfflineError : kMqttNoCaptureError;
    return nullptr;
  }
  return std::make_unique<MqttDevice>(m_pSession, m_pPlatform->WakeDescriptor());
}

std::string MqttSerialBackend::ErrorText(int error) const {
  if (!IsMqttError(error)) return m_pPlatform->ErrorText(error);
  std::lock_guard lock(m_cs);
  // A lost port reports through the session, which knows the latest state.
  const MqttSession* session = m_pShownSession.get();
  switch (error) {
    case kMqttUnreachableError: {
      std::string reason = session ? session->BrokerReason() : std::string();
      if (reason.empty()) reason = "no answer";
      return Utf8ToAnsi("the broker cannot be reached: " + reason);
    }
    case kMqttOfflineError:
      return Utf8ToAnsi("the capture at " + (session ? session->Url().strPrefix : "") +
                        " is offline");
    case kMqttNoCaptureError:
      return Utf8ToAnsi("no capture publishes at " + (session ? session->Url().strPrefix : ""));
    default:
      return Utf8ToAnsi(m_strReason);
  }
}

bool MqttSerialBackend::IsDeviceGone(int error) const {
  return error == kMqttUnreachableError || error == kMqttOfflineError ||
         error == kMqttNoCaptureError || m_pPlatform->IsDeviceGone(error);
}

bool MqttSerialBackend::IsDeviceMissing(int error) const {
  // A capture that is not there (yet), or a broker that does not answer, is
  // looked for again every 500 ms, as an adapter not plugged in; the
  // session keeps its connection meanwhile, so that costs nothing.
  if (error == kMqttUnreachableError || error == kMqttOfflineError || error == kMqttNoCaptureError)
    return true;
  return !IsMqttError(error) && m_pPlatform->IsDeviceMissing(error);
}

std::string MqttSerialBackend::OpenFailureAdvice(const std::string& portName, int error) const {
  return IsMqttError(error) ? std::string() : m_pPlatform->OpenFailureAdvice(portName, error);
}

std::string MqttSerialBackend::RemoteStatusText() const {
  std::lock_guard lock(m_cs);
  return m_pShownSession ? m_pShownSession->StatusText() : std::string();
}

}  // namespace tarnwick
