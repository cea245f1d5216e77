// The network forms a COM number may stand for: "rfc2217://HOST:PORT", a
// serial server's port with its line settings (telnet COM-PORT-OPTION), and
// "tcp://HOST:PORT", raw bytes with no line settings at all. HOST may be a
// name, an IPv4 address or a bracketed IPv6 address.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct NetworkPortName {
  bool bRfc2217 = false;  // else raw TCP
  std::string strHost;    // without brackets
  std::string strPort;    // decimal 1..65535
  friend bool operator==(const NetworkPortName&, const NetworkPortName&) = default;
};

// True when the name begins with one of the network schemes (any case), well
// formed or not: such a name is never a path.
bool IsNetworkPortName(std::string_view name);

// The parts of a well-formed network name; nothing otherwise.
std::optional<NetworkPortName> ParseNetworkPortName(std::string_view name);

// Error codes of the network forms beside the platform's own: a malformed
// name, and a failed name lookup (the resolver's code, negated, added).
inline constexpr int kNetworkErrorBase = 0x4E540000;
inline constexpr int kBadNetworkNameError = kNetworkErrorBase;
inline constexpr int kLookupErrorBase = kNetworkErrorBase + 0x100;
inline bool IsNetworkError(int error) {
  return error >= kNetworkErrorBase && error < kNetworkErrorBase + 0x10000;
}

}  // namespace tarnwick
