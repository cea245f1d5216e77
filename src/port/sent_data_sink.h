// Where the bytes of the sent direction go besides the second raw log: the
// program's bytes through the tap, the second port's, and everything this
// program writes (Send data, the send line, typed keys, macros, sequences),
// whether or not the screen shows it. The port worker calls it on its
// thread, in the order the bytes were read or written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "display/read_time.h"

namespace tarnwick {

class SentDataSink {
 public:
  virtual ~SentDataSink() = default;
  virtual void OnSent(const std::uint8_t* data, std::size_t length, const ReadTime& time) = 0;
};

}  // namespace tarnwick
