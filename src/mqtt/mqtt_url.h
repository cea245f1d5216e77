// Where a capture publishes and a viewer reads: "mqtt://[user@]host[:port]/PREFIX"
// or "mqtts://..." for TLS, optionally followed by "?cafile=PATH" to trust
// one CA file instead of the system's store. PREFIX is the path without its
// leading '/', percent-decoded; every topic of the capture lies under it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct MqttUrl {
  bool bTls = false;
  std::string strUser;  // empty: no user name
  std::string strHost;  // without brackets
  int nPort = 0;
  std::string strPrefix;
  std::string strCaFile;  // empty: the system's store (TLS only)

  // PREFIX/name.
  std::string Topic(std::string_view name) const { return strPrefix + "/" + std::string(name); }
  // The URL again, without anything secret (there is nothing secret in it).
  std::string Text() const;
  friend bool operator==(const MqttUrl&, const MqttUrl&) = default;
};

inline constexpr int kMqttPort = 1883;
inline constexpr int kMqttsPort = 8883;

// True when the name begins with one of the MQTT schemes (any case), well
// formed or not: such a name is never a path.
bool IsMqttUrl(std::string_view name);

// The parts of a well-formed URL, or nothing and what is wrong with it in
// *error.
std::optional<MqttUrl> ParseMqttUrl(std::string_view text, std::string* error);

}  // namespace tarnwick
