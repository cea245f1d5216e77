// Message boxes for the capture with no window: each box becomes one line on
// a stream (stderr), "caption: text", and is answered at once as if OK, or
// No for a question, so nothing waits for a person who is not there.
#pragma once

#include <cstdio>
#include <mutex>

#include "platform/message_box.h"

namespace tarnwick {

class StderrMessageBoxes : public MessageBoxes {
 public:
  explicit StderrMessageBoxes(std::FILE* stream = stderr) : m_pStream(stream) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons = MessageButtons::kOk) override;

  // One whole line, from any thread.
  void PrintLine(std::string_view text);

 private:
  std::FILE* m_pStream;
  std::mutex m_csStream;
};

}  // namespace tarnwick
