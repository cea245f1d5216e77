// What the status bar says about the port: its state, in words and as a kind
// the bar colours, the received and sent counts, and which logs are written.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace tarnwick {

enum class PortState {
  kOpen,          // reading and writing
  kWaiting,       // the device does not exist (yet); it is looked for
  kLost,          // it vanished while open; it is looked for
  kFailed,        // busy, refused or its settings rejected
  kDisconnected,  // let go of by Disconnect; nothing is opened until Connect
};

// The worker's status text while the port is let go of.
inline constexpr const char* kDisconnectedText = "Disconnected";

struct PortStatusText {
  PortState state = PortState::kFailed;
  std::string text;
  friend bool operator==(const PortStatusText&, const PortStatusText&) = default;
};

// Where the second port (the one only listened to) stands.
struct SecondPortState {
  bool bWanted = false;   // a port to listen on is configured
  bool bOpen = false;     // and it is open
  bool bLost = false;     // it vanished while open and has not come back yet
  bool bMissing = false;  // its device does not exist (yet)
  std::string strReason;  // why it is not open: "Port LOST !Input/output error"
  friend bool operator==(const SecondPortState&, const SecondPortState&) = default;
};

// "115200 8N1": rate, data bits, parity (N, S, M, E, O), stop bits (1, 1.5, 2).
std::string LineShortForm(const SETTINGS& settings);

// The port as the status bar shows it: "COM3 /dev/ttyUSB0 115200 8N1" while
// open; the name, the device and why while not. device: where the port's
// name leads on this machine (empty: nowhere known); failure: the worker's
// last failure text.
PortStatusText DescribePort(const SETTINGS& settings, const std::string& device, bool open,
                            bool deviceMissing, const std::string& failure);

// The second port as the status bar shows it: "Listening on COM2
// /dev/ttyS1" while open; the same, then why, while not. port: its name as
// configured; device: where it leads (empty: nowhere known).
PortStatusText DescribeSecondPort(const std::string& port, const std::string& device,
                                  const SecondPortState& state);

// "Read 12 / Write 3".
std::string CountersText(std::int32_t read, std::int32_t written);

// "Logging raw, text", "Logging raw", "Logging text"; empty while neither is on.
std::string LoggingText(bool raw, bool text);

}  // namespace tarnwick
