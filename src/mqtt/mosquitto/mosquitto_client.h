// MqttClient over libmosquitto, on a loop thread of our own: the library's
// own loop thread gives up for good after a TLS or name-lookup failure,
// where a capture must keep trying. Kept out of tarnwick_core, which builds
// where libmosquitto is not available. A TLS connection that breaks while
// being written raises SIGPIPE: the programs ignore it (see main.cpp).
#pragma once

#include <memory>

#include "mqtt/mqtt_client.h"

namespace tarnwick {

std::unique_ptr<MqttClient> CreateMosquittoClient(const MqttConnectOptions& options,
                                                  MqttClientEvents& events);

// CreateMosquittoClient as a factory, for those that make clients on demand.
MqttClientFactory MosquittoClientFactory();

}  // namespace tarnwick
