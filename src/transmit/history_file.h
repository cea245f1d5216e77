// The send history on disk: a text file beside the profile, one entry per
// line, most recent first:
//
//   tarnwick-history = 1
//   ASCII = AT+CSQ
//   HEX 2 reversed = 01 02
//
// A damaged file gives what can still be read; before anything can replace
// it, the file is copied aside (NAME.damaged) and the report says so. A file
// that can be neither read nor copied is never written over.
#pragma once

#include <filesystem>
#include <string>

#include "transmit/send_history.h"

namespace tarnwick {

inline constexpr const char* kHistoryFileName = "send-history.txt";

class HistoryFile {
 public:
  // Files past this size are read up to it and count as damaged.
  static constexpr std::size_t kMaxFileBytes = std::size_t{4} << 20;

  explicit HistoryFile(std::filesystem::path path) : m_path(std::move(path)) {}

  struct Report {
    std::size_t loaded = 0;
    std::size_t damagedLines = 0;
    std::size_t firstDamagedLine = 0;  // 1-based; 0 when none
    std::filesystem::path keptAs;      // where the damaged file was copied
    // For the status bar; empty when the file was missing or whole.
    std::string message;
  };

  // Fills history with what the file holds (it is emptied first).
  Report Load(SendHistory& history);
  // Replaces the file with history. Refused after a Load that found the file
  // damaged or unreadable and could not keep a copy. Empty on success, else
  // the reason.
  std::string Save(const SendHistory& history);

  const std::filesystem::path& Path() const { return m_path; }

  // The file's text for the history.
  static std::string Text(const SendHistory& history);

 private:
  std::filesystem::path m_path;
  bool m_bKeepFile = false;
};

}  // namespace tarnwick
