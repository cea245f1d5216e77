// One frame as the frames CSV writes it, for those who publish frames: the
// frames layer fills it, the publisher turns it into one JSON object whose
// keys are the CSV's column names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "display/read_time.h"
#include "display/screen_observer.h"

namespace tarnwick {

struct FrameFields {
  LineTime time = 0;  // ms since 1970, UTC
  LineDirection direction = LineDirection::kReceived;
  std::string protocol;
  std::string status;
  std::uint32_t length = 0;
  std::string summary;
  std::string hex;
  std::string address;
  std::string function;
  std::string values;
  std::optional<double> pairMs;  // none: the frame has no pair
};

}  // namespace tarnwick
