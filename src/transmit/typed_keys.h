// The bytes a terminal sends for the keys typed into the view: characters in
// the display's text encoding, Enter as the chosen line end, and the control
// codes and VT100/xterm sequences of the other keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "transmit/send_entry.h"

namespace tarnwick {

enum class TypedKey : std::uint8_t {
  kCharacter,  // text holds the character, without Ctrl's effect ("a" for Ctrl+A)
  kEnter,
  kBackspace,
  kTab,
  kEscape,
  kUp,
  kDown,
  kRight,
  kLeft,
  kHome,
  kEnd,
  kInsert,
  kDelete,
  kPageUp,
  kPageDown,
};

struct KeyModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

struct TypingOptions {
  LineEnd enter = LineEnd::kCr;
  bool backspaceSendsDel = true;  // DEL (0x7F) as xterm sends it; else BS (0x08)
};

// A paste this large is sent only once the user agrees.
inline constexpr std::size_t kPasteAskBytes = 4096;

// What the key sends; empty when it sends nothing, so the view may use it
// (Ctrl+Shift+letter stays the view's). Alt puts ESC before what the key
// sends; arrows and the editing keys carry Shift, Alt and Ctrl as xterm does
// ("ESC [ 1 ; 5 A" for Ctrl+Up).
std::string KeyBytes(TypedKey key, std::string_view text, KeyModifiers modifiers,
                     const TypingOptions& options, const TextEncoder& encode);

// Pasted text: each line break (CR LF, LF or CR) as Enter, the rest encoded.
std::string PasteBytes(std::string_view utf8, const TypingOptions& options,
                       const TextEncoder& encode);

}  // namespace tarnwick
