// The JSON the capture publishes (lines, frames, its status) and the
// status a viewer reads back. Text is UTF-8; a line's text is decoded from
// the screen's code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/read_time.h"
#include "display/screen_observer.h"
#include "mqtt/frame_fields.h"

namespace tarnwick {

// "2024-05-01T12:34:56.789Z".
std::string IsoTime(LineTime ms);

struct PublishedLine {
  LineTime time = 0;
  LineDirection direction = LineDirection::kReceived;
  std::string text;                 // as shown: the screen's code page
  std::vector<std::uint8_t> bytes;  // as read, the line's end included
  bool bBytesCut = false;           // the line had more bytes than were kept
};

// The lines of one read as a JSON array of objects: time, direction ("rx" or
// "tx"), text, hex ("41 42 0D"), and bytes_cut when the hex is not complete.
std::string LinesJson(const std::vector<PublishedLine>& lines);

// One object with the CSV's column names.
std::string FrameJson(const FrameFields& frame);

// What the status topic carries.
struct CaptureStatusReport {
  bool bOnline = false;
  std::string device;
  std::string line;  // the line settings
  std::string port;  // "open", or why it is not
  std::uint64_t rxBytes = 0;
  std::uint64_t txBytes = 0;
  std::uint64_t published = 0;
  std::uint64_t dropped = 0;
  bool bAcceptSend = false;
  std::uint64_t sendRefused = 0;
  LineTime time = 0;  // when it was said; 0: not said (the last will)
};

std::string StatusJson(const CaptureStatusReport& status);
// A status as published (fields missing from it keep their defaults); nothing
// when the payload is no JSON object with a "state".
std::optional<CaptureStatusReport> ParseStatusJson(std::string_view payload);

}  // namespace tarnwick
