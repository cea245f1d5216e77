// The text log's one writer. Lines are queued under the screen model's lock,
// in the order the model closed them, and written to the file afterwards,
// outside that lock, by whichever thread drains first: the worker after a
// read, the user-interface thread after a Clear. The file's bytes and their
// order are those of the queue.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "display/log_failures.h"
#include "display/output_file.h"

namespace tarnwick {

class TextLogWriter {
 public:
  void SetReporter(LogFailures* failures);
  // When to start a new file; any thread.
  void SetRotation(const RotationPolicy& policy);

  // Under the model's lock. text is appended to the file at path (an empty
  // text only creates the file) and cleared, keeping its capacity.
  void Queue(std::string_view path, std::string& text);
  // Under the model's lock: the log was switched off; the file closes in turn.
  void QueueClose();

  // Outside the model's lock: writes everything queued so far, in order.
  void Drain();

 private:
  struct Entry {
    bool bClose = false;
    std::string path;
    std::string text;
  };
  // Reuses a slot of entries, keeping the strings' storage.
  Entry& NextEntry(std::vector<Entry>& entries, std::size_t& count);

  std::mutex m_csQueue;  // guards m_queue, m_nQueued
  std::vector<Entry> m_queue;
  std::size_t m_nQueued = 0;

  std::mutex m_csFile;  // one drain at a time: guards the file and m_writing
  // What the drain in progress writes, copied out of m_queue.
  std::vector<Entry> m_writing;
  OutputFile m_file;
};

}  // namespace tarnwick
