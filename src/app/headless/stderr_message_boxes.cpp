#include "app/headless/stderr_message_boxes.h"

#include <string>

namespace tarnwick {

MessageResult StderrMessageBoxes::Show(std::string_view text, std::string_view caption, MessageIcon,
                                       MessageButtons buttons) {
  std::string line;
  if (!caption.empty()) line.append(caption).append(": ");
  line.append(text);
  PrintLine(line);
  return buttons == MessageButtons::kYesNo ? MessageResult::kNo : MessageResult::kOk;
}

void StderrMessageBoxes::PrintLine(std::string_view text) {
  std::lock_guard<std::mutex> lock(m_csStream);
  std::fwrite(text.data(), 1, text.size(), m_pStream);
  std::fputc('\n', m_pStream);
  std::fflush(m_pStream);
}

}  // namespace tarnwick
