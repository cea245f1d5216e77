// An append-only log file: received bytes (raw log) or closed display lines
// (text log). Created when missing, never truncated; every Append is in the
// file when it returns. The path "-" is standard output (standard_output.h). A path that cannot be
// opened costs that call's data and is tried again at the next call; the failure goes to the
// reporter, if one was given, and so does the next success.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/log_failures.h"
#include "display/log_rotation.h"

namespace tarnwick {

class OutputFile {
 public:
  // How often, at most, a write looks whether the path still names the open
  // file: a look costs a path lookup, too much for every received batch of a
  // flood, while at most this much of a flood reaches a file renamed away.
  static constexpr std::chrono::milliseconds kPathCheckInterval{10};

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Every later attempt to write is reported to reporter as a log of kind.
  void SetReporter(LogFailures* reporter, LogKind kind);

  // A FIFO or pipe whose reader is slow takes a write in parts: each Append
  // waits for it at most this long per byte it was given (the line time of a
  // byte, so the writer never falls behind the line), and what is left then
  // fails the call (EAGAIN) and is reported like any failed write.
  void SetWaitPerByte(std::chrono::nanoseconds perByte) { m_waitPerByte = perByte; }
  // Ten bits at 115200 baud.
  static constexpr std::chrono::nanoseconds kDefaultWaitPerByte{86806};

  // Appends length bytes to the file named by path (NUL-terminated, as stored
  // in the settings). The file stays open between calls while the path is
  // unchanged and still names it; it is reopened when the path changes, when
  // the file was renamed, rotated or deleted away from it (noticed by the
  // first write after kPathCheckInterval has passed since the last look), or
  // after a failed write.
  // Returns true when every byte was written. length 0 only opens (creates)
  // the file and reports whether that worked.
  bool Append(const char* path, const std::uint8_t* data, std::size_t length);
  // The same for a path given with its length (a settings buffer that may
  // lack its terminating NUL).
  bool Append(std::string_view path, const std::uint8_t* data, std::size_t length);

  // When to start a new file (see LogRotation); none by default. Takes
  // effect from the next write.
  void SetRotation(const RotationPolicy& policy) { m_rotation.SetPolicy(policy); }

  // Creates the file when missing without writing to it.
  bool Touch(const char* path);

  // The log is no longer used (its flag went off): closes the file and
  // reports that it no longer fails.
  void Close();

  bool IsOpen() const { return m_fd >= 0; }
  // errno of the last failed attempt, 0 after a success.
  int LastError() const { return m_nLastError; }

 private:
  bool OpenFor(std::string_view path);
  bool StillAtPath();
  // Advances data and length past what was written; on failure length is
  // what was not.
  bool WriteAll(const std::uint8_t*& data, std::size_t& length);
  // Waits until the file takes more bytes or the deadline passes.
  bool WaitWritable(std::chrono::steady_clock::time_point deadline);
  // Closes the file after a failure; the next call opens it again.
  void Drop();
  bool Outcome(std::string_view path, int error);
  // After a failed write, errno telling why; lost bytes of the call were not
  // written.
  bool Failed(std::string_view path, std::size_t lost);
  // Counts bytes that never reached the file; false.
  bool Lose(std::size_t bytes);

  int m_fd = -1;
  // Written with send(MSG_DONTWAIT): never blocking, whatever its open file says.
  bool m_bSocket = false;
  std::string m_strOpenPath;
  // Identity of the open file, to notice when its path names another one.
  std::uint64_t m_nDevice = 0;
  std::uint64_t m_nInode = 0;
  std::chrono::steady_clock::time_point m_lastPathCheck;
  int m_nLastError = 0;
  LogFailures* m_pReporter = nullptr;
  LogKind m_kind = LogKind::kRaw;
  LogRotation m_rotation;
  std::chrono::nanoseconds m_waitPerByte = kDefaultWaitPerByte;
};

}  // namespace tarnwick
