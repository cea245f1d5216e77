// The broker password. It comes from the environment, TARNWICK_MQTT_PASSWORD,
// or from a file that TARNWICK_MQTT_PASSWORD_FILE names and that only its
// owner, this user, may read or write (a systemd credential, a file of mode
// 600). It is never read from Tarnwick.cfg, the profile or the command line,
// where others could see it.
#pragma once

#include <string>

#include "mqtt/mqtt_url.h"

namespace tarnwick {

inline constexpr const char* kMqttPasswordVariable = "TARNWICK_MQTT_PASSWORD";
inline constexpr const char* kMqttPasswordFileVariable = "TARNWICK_MQTT_PASSWORD_FILE";

// The password for url into *password (empty: none given); false, with the
// reason in *error, when the password is refused: a file others may read, one
// that is not this user's, both variables at once, a password without a user.
bool ReadMqttPassword(const MqttUrl& url, std::string* password, std::string* error);

}  // namespace tarnwick
