// A serial port across the network: a TCP connection to a serial server,
// speaking telnet with RFC 2217's COM-PORT-OPTION ("rfc2217://") or carrying
// raw bytes ("tcp://"). The worker polls its socket as it polls a terminal;
// every wait also watches the backend's wake-up descriptor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix_wait.h"
#include "port/network_port_name.h"
#include "port/serial_device.h"
#include "port/telnet_session.h"

namespace tarnwick {

// Looks the host up and connects, neither blocking past a wake-up on
// wake.fd that wake.giveUp confirms (the open then fails with ECANCELED).
// Null and the error on failure.
std::unique_ptr<SerialDevice> OpenNetworkDevice(const NetworkPortName& name, const OpenWake& wake,
                                                int* error);

// The message for an error of the network forms (see network_port_name.h).
std::string NetworkErrorText(int error);

class PosixNetworkDevice final : public SerialDevice {
 public:
  // Takes ownership of fd, a connected non-blocking socket; wake.fd stays
  // the backend's.
  PosixNetworkDevice(int fd, OpenWake wake, bool rfc2217);
  ~PosixNetworkDevice() override;
  PosixNetworkDevice(const PosixNetworkDevice&) = delete;
  PosixNetworkDevice& operator=(const PosixNetworkDevice&) = delete;

  // rfc2217: sends the negotiation and the line settings at once, then waits
  // at most kAnswerMs (cut short by a wake-up that gives the open up) for
  // the answers and goes on with what was acknowledged. Raw TCP has no line
  // settings.
  bool SetCommState(const DCB& dcb) override;
  bool SetCommTimeouts(const COMMTIMEOUTS& timeouts) override;
  int LastError() const override { return m_lastError; }

  IoResult Read(std::uint8_t* buffer, std::size_t capacity) override;
  // Takes all of data, or nothing while output of before is still held: the
  // worker is never held here, and comes back when the socket has room.
  IoResult Write(const std::uint8_t* data, std::size_t length) override;
  WaitResult Wait(bool wantWrite, int timeoutMs) override;
  int PollDescriptor() const override { return m_fd; }
  bool HoldsOutput() override { return OutputPending(); }
  int SendHeldOutput() override;
  // The server paces the line: the socket takes bytes as fast as it can.
  bool LineTimed() const override { return false; }

  // The lines as the server last notified them, once it took the
  // COM-PORT-OPTION.
  bool GetModemStatus(unsigned* lines) override;
  bool SetOutputLine(OutputLine line, bool high) override;
  ModemWait WaitModemChange() override;
  void InterruptModemWait() override;

  static constexpr int kAnswerMs = 1000;

 private:
  bool Fail(int error);
  // Queues bytes for the server and sends what the socket takes; 0 or the
  // send error.
  int Send(const std::vector<std::uint8_t>& bytes);
  int FlushLocked();
  bool OutputPending();
  // One receive: data to m_in, negotiation answered. 0, or the error (the
  // server closing is ECONNRESET).
  int ReceiveSome();
  void PublishModemState();

  int m_fd;
  OpenWake m_wake;
  const bool m_bTelnet;
  int m_lastError = 0;
  DCB m_dcb{};

  // The worker's own: the protocol state and received data not yet read.
  TelnetSession m_session;
  bool m_bStarted = false;
  std::vector<std::uint8_t> m_in;
  std::size_t m_inPos = 0;

  // Output not yet taken by the socket; the worker's data and another
  // thread's line commands share it.
  std::mutex m_csSend;
  std::vector<std::uint8_t> m_out;
  int m_sendError = 0;

  std::atomic<bool> m_bComPort{false};
  std::atomic<unsigned> m_nLines{0};
  unsigned m_nStatesSeen = 0;  // worker: notifications published
  std::mutex m_csModem;
  std::condition_variable m_modemChanged;
  unsigned m_nModemVersion = 0;
  unsigned m_nWaitedVersion = 0;
  bool m_bInterrupt = false;
};

}  // namespace tarnwick
