// An append-only log file: received bytes (raw log) or closed display lines
// (text log). Created when missing, never truncated; every Append is in the
// file when it returns. A path that cannot be opened costs that call's data,
// silently, and is tried again at the next call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends length bytes to the file named by path (NUL-terminated, as stored
  // in the settings). The file stays open between calls while the path is
  // unchanged; it is reopened when the path changes or a write fails.
  // Returns true when every byte was written. length 0 only opens (creates)
  // the file and reports whether that worked.
  bool Append(const char* path, const std::uint8_t* data, std::size_t length);
  // The same for a path given with its length (a settings buffer that may
  // lack its terminating NUL).
  bool Append(std::string_view path, const std::uint8_t* data, std::size_t length);

  // Creates the file when missing without writing to it.
  bool Touch(const char* path);

  void Close();

  bool IsOpen() const { return m_fd >= 0; }

 private:
  bool OpenFor(const char* path);
  bool OpenFor(std::string_view path);
  bool StillLinked() const;
  bool WriteAll(const std::uint8_t* data, std::size_t length);

  int m_fd = -1;
  std::string m_strOpenPath;
};

}  // namespace tarnwick
