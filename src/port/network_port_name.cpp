#include "port/network_port_name.h"

#include <array>

namespace tarnwick {

namespace {

struct Scheme {
  std::string_view prefix;
  bool rfc2217;
};
constexpr std::array<Scheme, 2> kSchemes = {{{"rfc2217://", true}, {"tcp://", false}}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c) != prefix[i]) return false;
  }
  return true;
}

const Scheme* SchemeOf(std::string_view name) {
  for (const Scheme& scheme : kSchemes) {
    if (StartsWithNoCase(name, scheme.prefix)) return &scheme;
  }
  return nullptr;
}

bool ValidPort(std::string_view port) {
  if (port.empty() || port.size() > 5 || port[0] == '0') return false;
  unsigned value = 0;
  for (const char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 65535;
}

}  // namespace

bool IsNetworkPortName(std::string_view name) { return SchemeOf(name) != nullptr; }

std::optional<NetworkPortName> ParseNetworkPortName(std::string_view name) {
  const Scheme* scheme = SchemeOf(name);
  if (scheme == nullptr) return std::nullopt;
  std::string_view rest = name.substr(scheme->prefix.size());
  // A trailing slash, as a URL may carry, changes nothing.
  if (rest.ends_with('/')) rest.remove_suffix(1);
  std::string_view host;
  std::string_view port;
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
      return std::nullopt;
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
  } else {
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 needs brackets
  }
  if (host.empty() || !ValidPort(port)) return std::nullopt;
  for (const char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@' || c == '[' || c == ']')
      return std::nullopt;
  }
  return NetworkPortName{scheme->rfc2217, std::string(host), std::string(port)};
}

}  // namespace tarnwick
