// Opening the port from the settings record: the DCB, the timeouts, the
// device, and the text that says why it failed.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "port/dcb.h"
#include "port/serial_device.h"
#include "settings/settings.h"

namespace tarnwick {

class SerialLine {
 public:
  SerialLine(const SETTINGS& settings, SerialBackend& backend);

  // Worker thread. Closes the previous device, opens "\\.\COM%d" of
  // nPortIndex + 1 and configures it. On failure the reason is in the status
  // text and no device is held.
  bool OpenPort();
  // The same, but a failure leaves the status text as it is (a lost port's
  // retries keep showing why the port went).
  bool OpenPortKeepingStatus();
  // Fills m_dcb from the settings.
  void BuildDcb();
  // Stores text followed by the platform's message for code (0: the device's
  // or backend's last error) and the advice, if any, as the status text;
  // returns false.
  bool ReportError(const std::string& text, int code, const std::string& advice = {});
  // Before the worker starts: called on the worker thread with the advice for
  // each open that failed with one (a group to join), for a box to show it.
  void SetAdviceReporter(std::function<void(const std::string&)> report) {
    m_reportAdvice = std::move(report);
  }
  // Closes the device, if any.
  void ClosePort();
  // True when the last OpenPort failed because no device of that name
  // exists, rather than one that is busy or refused its settings.
  // Any thread (the status bar asks).
  bool DeviceMissing() const { return m_bDeviceMissing.load(std::memory_order_relaxed); }

  // Any thread. The last failure text; kept after a successful open.
  std::string Status() const;
  void SetStatus(const std::string& text);
  // Any thread. The device name of the last open, "COM1" before it.
  std::string PortName() const;

  SerialDevice* Device() const { return m_hPort.get(); }
  SerialBackend& Backend() const { return m_backend; }
  const DCB& Dcb() const { return m_dcb; }

  static COMMTIMEOUTS PortTimeouts();

 private:
  const SETTINGS& m_settings;
  SerialBackend& m_backend;
  std::unique_ptr<SerialDevice> m_hPort;
  bool m_bKeepStatus = false;  // ReportError composes but does not store
  int m_nLastError = 0;        // error of the last failing open step, for ReportError(text, 0)
  std::atomic<bool> m_bDeviceMissing{false};
  DCB m_dcb{};
  std::function<void(const std::string&)> m_reportAdvice;
  mutable std::mutex m_csStrings;  // guards the two strings across threads
  std::string m_strPortName = "COM1";
  std::string m_strStatus;
};

// The one-line summary of the line settings shown in the caption: "COM%d" of
// nPortIndex + 1, then ";9600;8 bits;1 stop;PARITY=NO;..." as the settings say.
std::string BuildLineSummary(const SETTINGS& settings);

}  // namespace tarnwick
