// Something besides the screen model that reads the received stream (the live
// plot). The port worker calls it with each read, before the screen model
// takes the same bytes, only while one is attached.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/read_time.h"
#include "settings/display_options.h"
#include "settings/settings.h"

namespace tarnwick {

class ScreenModel;

class ReceiveObserver {
 public:
  virtual ~ReceiveObserver() = default;
  // Worker thread. settings, options: the worker's copy for this read;
  // model: the screen model about to take the bytes (may be null), whose
  // place in the stream the observer may ask for.
  virtual void OnReceived(const std::uint8_t* data, std::size_t length, const ReadTime& time,
                          const SETTINGS& settings, const DisplayOptions& options,
                          ScreenModel* model) = 0;
};

}  // namespace tarnwick
