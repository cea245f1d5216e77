#include "transmit/macro.h"

#include <cctype>

#include "transmit/send_line.h"
#include "transmit/setting_line.h"
#include "transmit/text_wait.h"

namespace tarnwick {
namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The desktop's keys on Linux and Windows: closing, menus, window moves.
bool DesktopKeeps(const MacroKey& key) {
  if (key.ctrl && key.alt) return true;  // console switching
  if (key.alt && !key.ctrl && !key.shift) {
    switch (key.function) {
      case 1:   // the applications menu
      case 2:   // run a command
      case 4:   // close the window
      case 7:   // move the window
      case 8:   // resize the window
      case 10:  // maximise
        return true;
      default:
        break;
    }
  }
  // F10 opens the menu bar, Shift+F10 the context menu.
  return key.function == 10 && !key.ctrl && !key.alt;
}

std::string Shortened(std::string_view text) {
  constexpr std::size_t kShown = 24;
  if (text.size() <= kShown) return std::string(text);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

}  // namespace

std::string KeyText(const MacroKey& key) {
  if (key.Empty()) return {};
  std::string text;
  if (key.ctrl) text += "Ctrl+";
  if (key.alt) text += "Alt+";
  if (key.shift) text += "Shift+";
  return text + "F" + std::to_string(key.function);
}

std::optional<MacroKey> ReadKey(std::string_view text) {
  MacroKey key;
  for (;;) {
    const std::size_t plus = text.find('+');
    if (plus == std::string_view::npos) break;
    const std::string_view modifier = text.substr(0, plus);
    bool* flag = SameWord(modifier, "Ctrl")    ? &key.ctrl
                 : SameWord(modifier, "Alt")   ? &key.alt
                 : SameWord(modifier, "Shift") ? &key.shift
                                               : nullptr;
    if (flag == nullptr || *flag) return std::nullopt;
    *flag = true;
    text.remove_prefix(plus + 1);
  }
  if (text.size() < 2 || text.size() > 3 || (text[0] != 'F' && text[0] != 'f')) return std::nullopt;
  int number = 0;
  for (const char c : text.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > 12 || text[1] == '0') return std::nullopt;
  key.function = number;
  return key;
}

std::string KeyClash(const MacroKey& key, std::span<const std::string_view> programKeys) {
  for (const std::string_view programKey : programKeys) {
    if (ReadKey(programKey) == key) return KeyText(key) + " is the program's own key";
  }
  if (DesktopKeeps(key)) return KeyText(key) + " is kept by the desktop";
  return {};
}

std::string CheckName(std::string_view name, std::string_view what) {
  if (name.empty()) return std::string(what) + " needs a name";
  if (name.size() > MacroSet::kMaxNameBytes)
    return std::string(what) + "'s name is longer than " + std::to_string(MacroSet::kMaxNameBytes) +
           " bytes";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return std::string(what) + "'s name holds a control character";
  }
  return {};
}

std::string CheckRepeat(std::int64_t ms) {
  if (ms != 0 && (ms < MacroSet::kMinRepeatMs || ms > MacroSet::kMaxWaitMs))
    return "a repeat period is 10 ms to 24 hours";
  return {};
}

std::string CheckStep(const SequenceStep& step) {
  switch (step.kind) {
    case SequenceStep::Kind::kSend: {
      if (!IsOneLine(step.send.text))
        return "a text to send is one line (write a line end as \\0D or \\0A)";
      const SendParse parse = ParseSendText(step.send, step.lineEnd, {});
      return parse.ok ? std::string() : parse.Describe();
    }
    case SequenceStep::Kind::kWait:
      if (step.ms < 0 || step.ms > MacroSet::kMaxWaitMs) return "a wait is 0 ms to 24 hours";
      return {};
    case SequenceStep::Kind::kWaitForText:
    case SequenceStep::Kind::kWaitForRegex:
      if (step.ms < 1 || step.ms > MacroSet::kMaxWaitMs)
        return "a wait for text times out after 1 ms to 24 hours";
      if (!IsOneLine(step.pattern)) return "the text to wait for is one line";
      return TextWait::Check(step.pattern, step.kind == SequenceStep::Kind::kWaitForRegex);
  }
  return {};
}

std::string StepText(const SequenceStep& step) {
  switch (step.kind) {
    case SequenceStep::Kind::kSend:
      return "send \"" + Shortened(step.send.text) + "\"";
    case SequenceStep::Kind::kWait:
      return "wait " + DurationText(step.ms);
    case SequenceStep::Kind::kWaitForText:
      return "wait for \"" + Shortened(step.pattern) + "\" (" + DurationText(step.ms) + ")";
    case SequenceStep::Kind::kWaitForRegex:
      return "wait for /" + Shortened(step.pattern) + "/ (" + DurationText(step.ms) + ")";
  }
  return {};
}

}  // namespace tarnwick
