// A device that watches a capture running elsewhere (an "mqtt://" port): what
// that capture received is read from it as usual; what was sent to that
// capture's device is a second stream, shown as sent, and the capture's own
// status is shown beside the port's.
#pragma once

#include <string>

#include "port/sent_data_sink.h"

namespace tarnwick {

class PeerCapture {
 public:
  virtual ~PeerCapture() = default;
  // Worker thread: where the far side's sent bytes go. They are handed over
  // during Read, before the received bytes that followed them, so the two
  // directions keep their order; null drops them.
  virtual void SetPeerSentSink(SentDataSink* sink) = 0;
  // Any thread: the far capture's status in words, for the status bar.
  virtual std::string PeerStatusText() const = 0;
};

}  // namespace tarnwick
