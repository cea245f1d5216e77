#include "app/headless/stderr_message_boxes.h"

#include <ctime>
#include <string>

namespace tarnwick {

std::string StatusLineTime(std::chrono::system_clock::time_point when) {
  const auto whole = std::chrono::floor<std::chrono::seconds>(when);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(whole);
  const long long millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(when - whole).count();
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  char text[48];
  std::snprintf(text, sizeof text, "%s.%03lld", date, millis);
  // "+0100" as strftime writes it; ISO 8601's extended form has the colon.
  char offset[8];
  if (std::strftime(offset, sizeof offset, "%z", &local) != 5) return text;
  return std::string(text).append(offset, 3).append(1, ':').append(offset + 3, 2);
}

MessageResult StderrMessageBoxes::Show(std::string_view text, std::string_view caption, MessageIcon,
                                       MessageButtons buttons) {
  std::string line;
  if (!caption.empty()) line.append(caption).append(": ");
  line.append(text);
  PrintLine(line);
  return buttons == MessageButtons::kYesNo ? MessageResult::kNo : MessageResult::kOk;
}

void StderrMessageBoxes::PrintLine(std::string_view text) {
  const std::string time = StatusLineTime(std::chrono::system_clock::now()) + ' ';
  std::lock_guard<std::mutex> lock(m_csStream);
  std::fwrite(time.data(), 1, time.size(), m_pStream);
  std::fwrite(text.data(), 1, text.size(), m_pStream);
  std::fputc('\n', m_pStream);
  std::fflush(m_pStream);
}

}  // namespace tarnwick
