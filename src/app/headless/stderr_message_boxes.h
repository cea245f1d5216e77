// Message boxes for the capture with no window: each box becomes one line on
// a stream (stderr), "caption: text", and is answered at once as if OK, or
// No for a question, so nothing waits for a person who is not there. Every
// line starts with the local time it was printed at, ISO 8601 with
// milliseconds and the offset: "2026-12-08T14:05:09.123+01:00 ".
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/message_box.h"

namespace tarnwick {

class StderrMessageBoxes : public MessageBoxes {
 public:
  explicit StderrMessageBoxes(std::FILE* stream = stderr) : m_pStream(stream) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons = MessageButtons::kOk) override;

  // One whole line after the time, from any thread.
  void PrintLine(std::string_view text);

 private:
  std::FILE* m_pStream;
  std::mutex m_csStream;
};

// "YYYY-MM-DDTHH:MM:SS.mmm+HH:MM", the local time of when, with the offset
// from UTC that applies then.
std::string StatusLineTime(std::chrono::system_clock::time_point when);

}  // namespace tarnwick
