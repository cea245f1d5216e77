#include "display/text_log_writer.h"

#include <cstdint>
#include <utility>

namespace tarnwick {

void TextLogWriter::SetReporter(LogFailures* failures) {
  std::lock_guard<std::mutex> lock(m_csFile);
  m_file.SetReporter(failures, LogKind::kText);
}

void TextLogWriter::SetRotation(const RotationPolicy& policy) {
  std::lock_guard<std::mutex> lock(m_csFile);
  m_file.SetRotation(policy);
}

TextLogWriter::Entry& TextLogWriter::NextEntry(std::vector<Entry>& entries, std::size_t& count) {
  if (count == entries.size()) entries.emplace_back();
  Entry& entry = entries[count++];
  entry.bClose = false;
  entry.path.clear();
  entry.text.clear();
  return entry;
}

void TextLogWriter::Queue(std::string_view path, std::string& text) {
  std::lock_guard<std::mutex> lock(m_csQueue);
  // Lines for the same file since the last drain join one write.
  if (m_nQueued > 0) {
    Entry& last = m_queue[m_nQueued - 1];
    if (!last.bClose && last.path == path) {
      last.text.append(text);
      text.clear();
      return;
    }
  }
  Entry& entry = NextEntry(m_queue, m_nQueued);
  entry.path.assign(path);
  // Copied, not swapped: every buffer keeps the capacity it grew to, so a
  // steady stream allocates nothing.
  entry.text.append(text);
  text.clear();
}

void TextLogWriter::QueueClose() {
  std::lock_guard<std::mutex> lock(m_csQueue);
  NextEntry(m_queue, m_nQueued).bClose = true;
}

void TextLogWriter::Drain() {
  std::lock_guard<std::mutex> file(m_csFile);
  std::size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(m_csQueue);
    if (m_nQueued == 0) return;
    // Taken under both locks: what the next drain takes was queued after
    // everything this one writes. Copied, so every buffer keeps the capacity
    // it grew to and a steady stream allocates nothing.
    count = std::exchange(m_nQueued, 0);
    std::size_t used = 0;
    for (std::size_t i = 0; i < count; ++i) {
      Entry& entry = NextEntry(m_writing, used);
      entry.bClose = m_queue[i].bClose;
      entry.path.assign(m_queue[i].path);
      entry.text.assign(m_queue[i].text);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    Entry& entry = m_writing[i];
    if (entry.bClose) {
      m_file.Close();
      continue;
    }
    // A log that cannot be opened or written costs this data, silently; the
    // display carries on and the next line tries again.
    m_file.Append(std::string_view(entry.path),
                  reinterpret_cast<const std::uint8_t*>(entry.text.data()), entry.text.size());
  }
}

}  // namespace tarnwick
