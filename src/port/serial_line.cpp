#include "port/serial_line.h"

#include <cstring>
#include <optional>

#include "platform/com_names.h"
#include "port/line_tables.h"
#include "port/network_port_name.h"

namespace tarnwick {

namespace {

// "\\.\COM%d": the form that also opens COM10 and above.
std::string DeviceName(int comNumber) { return "\\\\.\\COM" + std::to_string(comNumber); }

}  // namespace

SerialLine::SerialLine(const SETTINGS& settings, SerialBackend& backend)
    : m_settings(settings), m_backend(backend) {}

COMMTIMEOUTS SerialLine::PortTimeouts() {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = 0xFFFFFFFF;  // reads return at once with what has arrived
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 10;  // ms per byte
  timeouts.WriteTotalTimeoutConstant = 10;
  return timeouts;
}

void SerialLine::BuildDcb() {
  // Indexes outside their tables fall back to the field's default (see
  // CheckedLineIndexes); fParity follows the parity actually used.
  const LineIndexes index = CheckedLineIndexes(m_settings);
  std::memset(&m_dcb, 0, sizeof m_dcb);
  m_dcb.DCBlength = sizeof(DCB);
  m_dcb.BaudRate = kBaudRates[index.nBaudIndex];
  // A rate typed beside the list is kept per COM number in the profile; the
  // record keeps its index.
  if (const std::uint32_t rate = ProfileComBaud(index.nPortIndex + 1); rate != 0)
    m_dcb.BaudRate = rate;
  m_dcb.fBinary = 1;
  m_dcb.fParity = index.nParityIndex != 0 ? 1 : 0;
  // Only the low bit of the check-box fields counts, as a one-bit field takes it.
  m_dcb.fOutxCtsFlow = static_cast<std::uint32_t>(m_settings.bUseCts) & 1u;
  m_dcb.fOutxDsrFlow = static_cast<std::uint32_t>(m_settings.bUseDsr) & 1u;
  m_dcb.fDsrSensitivity = static_cast<std::uint32_t>(m_settings.bDsrSensitivity) & 1u;
  m_dcb.fDtrControl = kDtrControlCodes[index.nDtrIndex];
  m_dcb.fRtsControl = kRtsControlCodes[index.nRtsIndex];
  m_dcb.ByteSize = static_cast<std::uint8_t>(index.nDataBitsIndex + 5);
  m_dcb.Parity = kParityCodes[index.nParityIndex];
  m_dcb.StopBits = kStopBitsCodes[index.nStopBitsIndex];
}

bool SerialLine::OpenPort() {
  const COMMTIMEOUTS timeouts = PortTimeouts();
  ClosePort();

  const std::string name = DeviceName(CheckedLineIndexes(m_settings).nPortIndex + 1);
  {
    std::lock_guard lock(m_csStrings);
    m_strPortName = name;
  }

  int error = 0;
  m_hPort = m_backend.Open(name, &error);
  m_bDeviceMissing = !m_hPort && m_backend.IsDeviceMissing(error);
  if (!m_hPort) {
    m_nLastError = error;
    const std::string advice = m_backend.OpenFailureAdvice(name, error);
    if (!advice.empty() && m_reportAdvice) m_reportAdvice(advice);
    return ReportError("Open Port FAILED !", 0, advice);
  }

  BuildDcb();
  if (!m_hPort->SetCommState(m_dcb)) {
    m_nLastError = m_hPort->LastError();
    ClosePort();
    return ReportError("SetPortState FAILED !", 0);
  }
  if (!m_hPort->SetCommTimeouts(timeouts)) {
    m_nLastError = m_hPort->LastError();
    ClosePort();
    return ReportError("SetPortTimeouts FAILED !", 0);
  }
  return true;
}

bool SerialLine::OpenPortKeepingStatus() {
  m_bKeepStatus = true;
  const bool open = OpenPort();
  m_bKeepStatus = false;
  return open;
}

bool SerialLine::ReportError(const std::string& text, int code, const std::string& advice) {
  if (m_bKeepStatus) return false;
  if (code == 0) code = m_hPort ? m_hPort->LastError() : m_nLastError;
  std::string status = text;
  // Error 0 has no message: the text stands alone.
  if (code != 0) status += m_backend.ErrorText(code);
  if (!advice.empty()) status += ". " + advice;
  SetStatus(status);
  return false;
}

void SerialLine::ClosePort() { m_hPort.reset(); }

std::string SerialLine::Status() const {
  std::lock_guard lock(m_csStrings);
  return m_strStatus;
}

void SerialLine::SetStatus(const std::string& text) {
  std::lock_guard lock(m_csStrings);
  m_strStatus = text;
}

std::string SerialLine::PortName() const {
  std::lock_guard lock(m_csStrings);
  return m_strPortName;
}

std::string BuildLineSummary(const SETTINGS& settings) {
  // Names the port these settings describe, not the one opened last, which
  // may still be the previous port while the worker reopens.
  const LineIndexes index = CheckedLineIndexes(settings);
  const int comNumber = index.nPortIndex + 1;
  std::string summary = "COM" + std::to_string(comNumber);
  // A port across the network names its server; raw TCP carries no line.
  if (const std::string device = ResolveComNumber(comNumber); IsNetworkPortName(device)) {
    summary += " " + device;
    const std::optional<NetworkPortName> address = ParseNetworkPortName(device);
    if (address && !address->bRfc2217) return summary + ";raw TCP, line settings do not apply";
  }
  if (const std::uint32_t rate = ProfileComBaud(comNumber); rate != 0) {
    summary += ";" + std::to_string(rate);
  } else {
    summary += kBaudPieces[index.nBaudIndex];
  }
  summary += ";" + std::to_string(index.nDataBitsIndex + 5) + " bits";
  summary += kStopBitsPieces[index.nStopBitsIndex];
  summary += kParityPieces[index.nParityIndex];
  summary += kDtrPieces[index.nDtrIndex];
  summary += kRtsPieces[index.nRtsIndex];
  summary += settings.bUseDsr != 0 ? ";use DSR=yes" : ";use DSR=no";
  summary += settings.bUseCts != 0 ? ";use CTS=yes" : ";use CTS=no";
  return summary;
}

}  // namespace tarnwick
