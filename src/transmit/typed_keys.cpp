#include "transmit/typed_keys.h"

namespace tarnwick {
namespace {

constexpr char kEsc = '\x1B';

// Ctrl with a character: letters and the six punctuation keys a terminal
// maps to the control codes; nothing for the rest.
std::string ControlCode(std::string_view text, bool shift) {
  if (text.size() != 1) return {};
  const char c = text[0];
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
    if (shift) return {};  // Ctrl+Shift+letter: the view's commands
    return std::string(1, static_cast<char>(c & 0x1F));
  }
  switch (c) {
    case ' ':
    case '@':
    case '2':
      return std::string(1, '\0');
    case '[':
      return std::string(1, kEsc);
    case '\\':
      return "\x1C";
    case ']':
      return "\x1D";
    case '^':
    case '6':
      return "\x1E";
    case '_':
    case '-':
      return "\x1F";
    case '?':
      return "\x7F";
    default:
      return {};
  }
}

// xterm's modifier parameter: 1 plus Shift 1, Alt 2, Ctrl 4; 1 is none.
int ModifierParameter(KeyModifiers modifiers) {
  return 1 + (modifiers.shift ? 1 : 0) + (modifiers.alt ? 2 : 0) + (modifiers.ctrl ? 4 : 0);
}

// "ESC [ final" for the cursor keys, "ESC [ 1 ; m final" with modifiers.
std::string CursorKey(char final, KeyModifiers modifiers) {
  const int m = ModifierParameter(modifiers);
  if (m == 1) return std::string{kEsc, '[', final};
  return std::string{kEsc, '['} + "1;" + std::to_string(m) + final;
}

// "ESC [ n ~" for the editing keys, "ESC [ n ; m ~" with modifiers.
std::string TildeKey(int number, KeyModifiers modifiers) {
  const int m = ModifierParameter(modifiers);
  std::string bytes{kEsc, '['};
  bytes += std::to_string(number);
  if (m != 1) bytes += ";" + std::to_string(m);
  return bytes + '~';
}

}  // namespace

std::string KeyBytes(TypedKey key, std::string_view text, KeyModifiers modifiers,
                     const TypingOptions& options, const TextEncoder& encode) {
  std::string bytes;
  switch (key) {
    case TypedKey::kUp:
      return CursorKey('A', modifiers);
    case TypedKey::kDown:
      return CursorKey('B', modifiers);
    case TypedKey::kRight:
      return CursorKey('C', modifiers);
    case TypedKey::kLeft:
      return CursorKey('D', modifiers);
    case TypedKey::kHome:
      return CursorKey('H', modifiers);
    case TypedKey::kEnd:
      return CursorKey('F', modifiers);
    case TypedKey::kInsert:
      return TildeKey(2, modifiers);
    case TypedKey::kDelete:
      return TildeKey(3, modifiers);
    case TypedKey::kPageUp:
      return TildeKey(5, modifiers);
    case TypedKey::kPageDown:
      return TildeKey(6, modifiers);
    case TypedKey::kCharacter:
      if (modifiers.ctrl)
        bytes = ControlCode(text, modifiers.shift);
      else
        bytes = encode ? encode(text) : std::string(text);
      break;
    case TypedKey::kEnter:
      bytes = LineEndBytes(options.enter);
      break;
    case TypedKey::kBackspace:
      bytes = options.backspaceSendsDel ? "\x7F" : "\b";
      break;
    case TypedKey::kTab:
      if (modifiers.shift) return std::string{kEsc, '[', 'Z'};  // back tab
      bytes = "\t";
      break;
    case TypedKey::kEscape:
      bytes = std::string(1, kEsc);
      break;
  }
  if (modifiers.alt && !bytes.empty()) bytes.insert(bytes.begin(), kEsc);
  return bytes;
}

std::string PasteBytes(std::string_view utf8, const TypingOptions& options,
                       const TextEncoder& encode) {
  std::string bytes;
  const std::string_view enter = LineEndBytes(options.enter);
  while (!utf8.empty()) {
    const std::size_t brk = utf8.find_first_of("\r\n");
    const std::string_view line = utf8.substr(0, brk);
    bytes += encode ? encode(line) : std::string(line);
    if (brk == std::string_view::npos) break;
    bytes += enter;
    const bool crlf = utf8[brk] == '\r' && brk + 1 < utf8.size() && utf8[brk + 1] == '\n';
    utf8.remove_prefix(brk + (crlf ? 2 : 1));
  }
  return bytes;
}

}  // namespace tarnwick
