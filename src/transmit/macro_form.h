// One macro as its editor shows it: the name, key and repeat period as typed
// and the steps as lines of the macro file. Read back by the file's own
// reader, so the editor accepts exactly what an imported file may hold, and
// checked against the other macros (names and keys unique, room on a page).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "transmit/macro.h"

namespace tarnwick {

struct MacroForm {
  std::string name;
  std::string key;     // "" for none
  std::string repeat;  // "" for none
  std::string steps;   // one step a line, as the file writes them
  std::size_t page = 0;
};

// Where a macro sits in a set.
struct MacroPlace {
  std::size_t page = 0;
  std::size_t index = 0;
  friend bool operator==(const MacroPlace&, const MacroPlace&) = default;
};

struct MacroFormRead {
  std::optional<Macro> macro;
  // Which field and why: "Key: F1 is the program's own key",
  // "Steps, line 2: unknown setting "sned"".
  std::string error;
};

MacroForm FormOf(const Macro& macro, std::size_t page);

// editing: the macro the form replaces (its name and key do not clash with
// themselves); nothing for a new macro.
MacroFormRead ReadMacroForm(const MacroForm& form, const MacroSet& set,
                            std::optional<MacroPlace> editing,
                            std::span<const std::string_view> programKeys);

// Puts macro on page form.page: in place of editing when it stays on that
// page, else at the page's end. The form was read against set.
MacroPlace PlaceMacro(MacroSet& set, Macro macro, std::size_t page,
                      std::optional<MacroPlace> editing);

}  // namespace tarnwick
