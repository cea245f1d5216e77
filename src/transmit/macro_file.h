// The macro file: plain UTF-8 text that people can read, diff and share
// (docs/sending.md describes it). Reading is all or nothing: a file with an
// error is refused with its line and the reason, and the caller keeps the
// macros it had.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "transmit/macro.h"

namespace tarnwick {

struct MacroFileError {
  std::size_t line = 0;  // 1-based; 0 for the file as a whole
  std::string reason;
  // "line 7: unknown setting "sned"", or the reason alone for line 0.
  std::string Describe() const;
};

struct MacroFileRead {
  MacroSet set;
  std::optional<MacroFileError> error;
  bool Ok() const { return !error.has_value(); }
};

inline constexpr std::size_t kMaxMacroFileBytes = std::size_t{1} << 20;

// programKeys: the program's own keys, which no macro may take (QKeySequence
// portable text, as the command table has them).
MacroFileRead ReadMacroText(std::string_view text, std::span<const std::string_view> programKeys);
// The text that ReadMacroText reads back as set; set must pass its checks.
std::string MacroText(const MacroSet& set);
// One step as the file writes it: "send ASCII CR = ATZ", "wait = 2 s",
// "wait-for 3 s continue = OK"; no line end.
std::string StepLine(const SequenceStep& step);

MacroFileRead ReadMacroFile(const std::filesystem::path& path,
                            std::span<const std::string_view> programKeys);
// Replaces the file whole, or leaves it as it was. Empty on success, else the reason.
std::string WriteMacroFile(const std::filesystem::path& path, const MacroSet& set);

}  // namespace tarnwick
