#include "transmit/macro_form.h"

#include "transmit/macro_file.h"
#include "transmit/setting_line.h"

namespace tarnwick {
namespace {

// The lines before the steps, so an error's line tells its field.
constexpr std::size_t kNameLine = 3;
constexpr std::size_t kKeyLine = 4;
constexpr std::size_t kRepeatLine = 5;
constexpr std::size_t kFirstStepLine = 6;

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool IsOther(std::size_t page, std::size_t index, const std::optional<MacroPlace>& editing) {
  return !editing || !(*editing == MacroPlace{page, index});
}

}  // namespace

MacroForm FormOf(const Macro& macro, std::size_t page) {
  MacroForm form;
  form.name = macro.name;
  form.key = KeyText(macro.key);
  form.repeat = macro.repeatMs != 0 ? DurationText(macro.repeatMs) : std::string();
  for (const SequenceStep& step : macro.steps) {
    if (!form.steps.empty()) form.steps += '\n';
    form.steps += StepLine(step);
  }
  form.page = page;
  return form;
}

MacroFormRead ReadMacroForm(const MacroForm& form, const MacroSet& set,
                            std::optional<MacroPlace> editing,
                            std::span<const std::string_view> programKeys) {
  MacroFormRead result;
  if (!IsOneLine(form.name) || !IsOneLine(form.key) || !IsOneLine(form.repeat)) {
    result.error = "Name, Key and Repeat are one line each";
    return result;
  }
  if (form.page >= set.pages.size()) {
    result.error = "Page: there is no such page";
    return result;
  }
  std::string text = "tarnwick-macros = 1\npage = P\nmacro = " + QuotedValue(form.name) + "\n";
  text += form.key.empty() ? "#\n" : "key = " + form.key + "\n";
  text += form.repeat.empty() ? "#\n" : "repeat = " + form.repeat + "\n";
  text += form.steps;
  const MacroFileRead read = ReadMacroText(text, programKeys);
  if (!read.Ok()) {
    const MacroFileError& error = *read.error;
    if (error.line == kNameLine && read.error->reason.find("nothing to send") != std::string::npos)
      result.error = "Steps: give at least one, such as send ASCII CR = ATZ";
    else if (error.line == kNameLine)
      result.error = "Name: " + error.reason;
    else if (error.line == kKeyLine)
      result.error = "Key: " + error.reason;
    else if (error.line == kRepeatLine)
      result.error = "Repeat: " + error.reason;
    else if (error.line >= kFirstStepLine)
      result.error =
          "Steps, line " + std::to_string(error.line - kFirstStepLine + 1) + ": " + error.reason;
    else
      result.error = error.Describe();
    return result;
  }
  if (read.set.pages.size() != 1 || read.set.pages[0].macros.size() != 1) {
    result.error = "Steps: only send, wait, wait-for and wait-for-regex lines belong here";
    return result;
  }
  const Macro& macro = read.set.pages[0].macros[0];
  for (std::size_t p = 0; p < set.pages.size(); ++p) {
    const MacroPage& page = set.pages[p];
    for (std::size_t i = 0; i < page.macros.size(); ++i) {
      if (!IsOther(p, i, editing)) continue;
      if (page.macros[i].name == macro.name) {
        result.error = "Name: there is already a macro named " + Quoted(macro.name);
        return result;
      }
      if (!macro.key.Empty() && page.macros[i].key == macro.key) {
        result.error =
            "Key: " + KeyText(macro.key) + " is already the key of " + Quoted(page.macros[i].name);
        return result;
      }
    }
  }
  const bool staysOnPage = editing && editing->page == form.page;
  if (!staysOnPage && set.pages[form.page].macros.size() >= MacroSet::kMaxPerPage) {
    result.error = "Page: " + Quoted(set.pages[form.page].name) + " holds " +
                   std::to_string(MacroSet::kMaxPerPage) + " macros already";
    return result;
  }
  result.macro = macro;
  return result;
}

MacroPlace PlaceMacro(MacroSet& set, Macro macro, std::size_t page,
                      std::optional<MacroPlace> editing) {
  if (editing && editing->page == page) {
    set.pages[page].macros[editing->index] = std::move(macro);
    return *editing;
  }
  if (editing) {
    auto& from = set.pages[editing->page].macros;
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(editing->index));
  }
  set.pages[page].macros.push_back(std::move(macro));
  return MacroPlace{page, set.pages[page].macros.size() - 1};
}

}  // namespace tarnwick
