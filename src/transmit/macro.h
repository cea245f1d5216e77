// Macros: named buttons, in pages, that send a text (once, or repeated at a
// period) or run a sequence of steps; each may have a function key. The
// checks here are the ones the macro file's reader and the editor share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transmit/send_entry.h"

namespace tarnwick {

struct SequenceStep {
  enum class Kind : std::uint8_t { kSend, kWait, kWaitForText, kWaitForRegex };
  Kind kind = Kind::kSend;
  SendEntry send;  // kSend
  LineEnd lineEnd = LineEnd::kNone;
  std::int64_t ms = 0;            // kWait: how long; the waits for text: the timeout
  std::string pattern;            // the waits for text: the text, or an ECMAScript expression
  bool goOnAfterTimeout = false;  // the waits for text: go on with the next step, else stop

  friend bool operator==(const SequenceStep&, const SequenceStep&) = default;
};

// F1..F12 with any of Ctrl, Alt and Shift; function 0 is no key.
struct MacroKey {
  int function = 0;
  bool ctrl = false;
  bool alt = false;
  bool shift = false;

  bool Empty() const { return function == 0; }
  friend bool operator==(const MacroKey&, const MacroKey&) = default;
};

// "Ctrl+Alt+Shift+F5" in that order, as QKeySequence reads it; empty for no key.
std::string KeyText(const MacroKey& key);
// Any order and case of the modifiers; nothing for text that is no F1..F12 key.
std::optional<MacroKey> ReadKey(std::string_view text);
// Why key cannot be a macro's: one of programKeys (the program's own, in
// QKeySequence's portable text; others than function keys are ignored) or a
// key the desktop keeps (Alt+F4 closes the window, Ctrl+Alt+Fn switches
// consoles, F10 and Shift+F10 open menus). Empty when it is free.
std::string KeyClash(const MacroKey& key, std::span<const std::string_view> programKeys);

struct Macro {
  std::string name;
  MacroKey key;
  std::int64_t repeatMs = 0;  // a plain macro sends again every repeatMs; 0: once
  std::vector<SequenceStep> steps;

  // One send step is a plain macro; anything else runs as a sequence.
  bool IsSequence() const {
    return steps.size() != 1 || steps[0].kind != SequenceStep::Kind::kSend;
  }
  friend bool operator==(const Macro&, const Macro&) = default;
};

struct MacroPage {
  std::string name;
  std::vector<Macro> macros;
  friend bool operator==(const MacroPage&, const MacroPage&) = default;
};

struct MacroSet {
  static constexpr std::size_t kMaxPages = 4;
  static constexpr std::size_t kMaxPerPage = 12;  // 48 buttons in all
  static constexpr std::size_t kMaxSteps = 100;
  static constexpr std::size_t kMaxNameBytes = 64;
  static constexpr std::int64_t kMinRepeatMs = 10;
  static constexpr std::int64_t kMaxWaitMs = 24LL * 3600 * 1000;
  static constexpr std::size_t kMaxPatternBytes = 256;

  std::vector<MacroPage> pages;
  friend bool operator==(const MacroSet&, const MacroSet&) = default;
};

// Each check gives the reason in the words the file's reader reports it, or
// empty when all is well.
std::string CheckName(std::string_view name, std::string_view what);  // what: "a macro", "a page"
std::string CheckRepeat(std::int64_t ms);
// A send step's text must parse (encoding aside: ASCII always does).
std::string CheckStep(const SequenceStep& step);

// A step in a few words for the sequence's display: send "ATZ", wait 500 ms,
// wait for "OK" (3 s), wait for /^OK$/ (3 s).
std::string StepText(const SequenceStep& step);

}  // namespace tarnwick
