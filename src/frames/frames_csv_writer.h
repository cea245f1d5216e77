// Where the frames' CSV goes: a file (appended to, as every log is), a FIFO,
// or standard output for the path "-". The header goes first into a target
// that holds nothing yet; a file that already has rows only grows. Writing
// is the log files' (display/output_file.h): it never blocks the worker on
// a slow reader for longer than the rows' line time, and a target that
// cannot be written costs those rows, reports the error and is tried again
// with the next rows. One thread writes.
#pragma once

#include <string>
#include <string_view>

#include "display/output_file.h"

namespace tarnwick {

class FramesCsvWriter {
 public:
  // What "-" opens: the process's standard output.
  static std::string TargetOf(std::string_view path);

  // An empty path writes nothing.
  void SetPath(std::string_view path);
  const std::string& Path() const { return m_strPath; }

  // Whole rows, in the order frames completed. Returns whether they were written.
  bool Write(std::string_view rows);

  // errno of the last failed write, 0 after a success.
  int LastError() const { return m_file.LastError(); }

 private:
  std::string m_strPath;
  std::string m_strTarget;
  bool m_bHeaderDue = false;
  std::string m_text;
  OutputFile m_file;
};

}  // namespace tarnwick
