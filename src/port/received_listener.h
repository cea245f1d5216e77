// Who hears the received bytes as the worker reads them, besides the counters,
// the raw log and the screen model: a sequence waiting for a reply. Called
// on the worker's thread, after the screen model took the read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

class ReceivedListener {
 public:
  virtual ~ReceivedListener() = default;
  // Keep it short: the worker reads on once it returns.
  virtual void OnReceived(const std::uint8_t* data, std::size_t length) = 0;
};

}  // namespace tarnwick
