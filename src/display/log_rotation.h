// When a log starts a new file, for captures that run for days. The file
// being written always keeps the chosen name; a full one is renamed to
// NAME.1, NAME.2, ... (one more than the highest number already there), so
// NAME.1 is the oldest part and the capture is NAME.1 NAME.2 ... NAME, read
// in that order. A part ends exactly at the size limit, inside a line if
// need be: no byte is lost or written twice. Only regular files rotate; a
// FIFO or a device is written as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "settings/display_options.h"

namespace tarnwick {

struct RotationPolicy {
  std::int64_t nMaxBytes = 0;  // 0: no size limit
  bool bDaily = false;         // a new file at local midnight
  bool Active() const { return nMaxBytes > 0 || bDaily; }
  friend bool operator==(const RotationPolicy&, const RotationPolicy&) = default;
};

// A size limit as typed: digits with an optional K, M or G (powers of 1024).
// Nothing for anything but a positive count that fits in 63 bits.
std::optional<std::int64_t> ParseByteCount(std::string_view text);

inline RotationPolicy RotationPolicyOf(const DisplayOptions& options) {
  return {options.nRotateBytes, options.bRotateDaily};
}

// The state of one log's current file, consulted by OutputFile around each write.
class LogRotation {
 public:
  void SetPolicy(const RotationPolicy& policy);
  bool Active() const { return m_policy.Active() && m_bRegularFile; }

  // The log has opened its file (fd): its size, and the day it began, taken
  // from its last change when it already held something.
  void Opened(int fd);
  // Of length bytes about to be written at now, how many still belong in
  // the current file: length when no rotation is due, 0 when it is due
  // before the first of them.
  std::size_t Room(std::size_t length, std::time_t now);
  void Wrote(std::size_t length) { m_nFileBytes += static_cast<std::int64_t>(length); }

  // The current file is full and closed: renames path to the next numbered
  // name. A rename that fails (a read-only directory) leaves the file where
  // it is; writing goes on into it and counts as a new part, so the next try
  // comes only at the next limit. Returns whether it was renamed.
  bool Rotate(const std::string& path, std::time_t now);

  // The first free number after the highest NAME.N beside path (1 when there
  // is none).
  static std::uint64_t NextPartNumber(const std::string& path);

 private:
  void StartPart(std::time_t dayOf);

  RotationPolicy m_policy;
  bool m_bRegularFile = false;
  std::int64_t m_nFileBytes = 0;
  // The last rename failed: the file opened next is counted from empty.
  bool m_bRotateFailed = false;
  // The local midnight that ends the current file's day.
  std::time_t m_dayEnd = 0;
  // The next number to give, once looked up for m_strNumberedPath.
  std::string m_strNumberedPath;
  std::uint64_t m_nNextNumber = 0;
};

}  // namespace tarnwick
