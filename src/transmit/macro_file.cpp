#include "transmit/macro_file.h"

#include <algorithm>
#include <map>
#include <set>

#include "transmit/setting_line.h"
#include "transmit/text_file.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHeaderWord = "tarnwick-macros";
constexpr std::string_view kVersion = "1";
constexpr const char* kFirstPageName = "Macros";

// Reads a file's lines into a set, stopping at the first error.
class MacroReader {
 public:
  explicit MacroReader(std::span<const std::string_view> programKeys)
      : m_programKeys(programKeys) {}

  MacroFileRead Read(std::string_view text);

 private:
  // Each returns the reason of an error on the current line, or empty.
  std::string Setting(const SettingLine& line);
  std::string Header(const SettingLine& line);
  std::string Page(const SettingLine& line);
  std::string StartMacro(const SettingLine& line);
  std::string Key(const SettingLine& line);
  std::string Repeat(const SettingLine& line);
  std::string Step(const SettingLine& line);
  // The macro being read is complete: it has steps, and only a plain one repeats.
  bool EndMacro();
  Macro* Current();
  bool Fail(std::size_t line, std::string reason);

  std::span<const std::string_view> m_programKeys;
  MacroFileRead m_result;
  std::size_t m_nLine = 0;
  bool m_bHeader = false;
  bool m_bInMacro = false;
  std::size_t m_nMacroLine = 0;
  std::size_t m_nRepeatLine = 0;
  std::set<std::string> m_pageNames;
  std::set<std::string> m_macroNames;
  std::map<std::string, std::string> m_keyOwners;  // key text -> macro name
};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A value of several words: "500 ms".
std::vector<std::string_view> ValueWords(std::string_view value) {
  std::vector<std::string_view> words;
  while (!value.empty()) {
    const std::size_t space = value.find_first_of(" \t");
    if (space != 0) words.push_back(value.substr(0, space));
    if (space == std::string_view::npos) break;
    value.remove_prefix(space + 1);
  }
  return words;
}

bool MacroReader::Fail(std::size_t line, std::string reason) {
  m_result.error = MacroFileError{line, std::move(reason)};
  return false;
}

Macro* MacroReader::Current() {
  return m_bInMacro ? &m_result.set.pages.back().macros.back() : nullptr;
}

MacroFileRead MacroReader::Read(std::string_view text) {
  const std::vector<std::string_view> lines = SplitLines(text);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    m_nLine = n + 1;
    if (!IsUtf8(lines[n])) {
      Fail(m_nLine, "the line is not UTF-8 text");
      break;
    }
    SettingLine line;
    std::string reason = ReadSettingLine(lines[n], &line);
    if (reason.empty() && !line.words.empty()) reason = Setting(line);
    if (!reason.empty()) {
      Fail(m_nLine, std::move(reason));
      break;
    }
    if (m_result.error) break;  // a macro before this line was incomplete
  }
  if (!m_result.error && !m_bHeader)
    Fail(0, "not a macro file: it begins with \"tarnwick-macros = 1\"");
  if (!m_result.error) EndMacro();
  if (m_result.error) m_result.set = {};
  return std::move(m_result);
}

std::string MacroReader::Setting(const SettingLine& line) {
  const std::string_view word = line.words[0];
  if (!m_bHeader) return Header(line);
  if (word == "page") return Page(line);
  if (word == "macro") return StartMacro(line);
  if (word == "key" || word == "repeat" || word == "send" || word == "wait" || word == "wait-for" ||
      word == "wait-for-regex") {
    if (Current() == nullptr) return Quoted(word) + " comes before the first \"macro\"";
    if (word == "key") return Key(line);
    if (word == "repeat") return Repeat(line);
    return Step(line);
  }
  if (word == kHeaderWord) return "the file says \"tarnwick-macros\" twice";
  return "unknown setting " + Quoted(word);
}

std::string MacroReader::Header(const SettingLine& line) {
  if (line.words.size() != 1 || line.words[0] != kHeaderWord)
    return "not a macro file: it begins with \"tarnwick-macros = 1\"";
  if (line.value != kVersion)
    return "macro file version " + Quoted(line.value) + " is not known here (version 1 is)";
  m_bHeader = true;
  return {};
}

std::string MacroReader::Page(const SettingLine& line) {
  if (line.words.size() != 1) return "\"page\" takes no words before '='";
  if (!EndMacro()) return {};
  if (std::string reason = CheckName(line.value, "a page"); !reason.empty()) return reason;
  if (!m_pageNames.insert(line.value).second)
    return "there is already a page named " + Quoted(line.value);
  if (m_result.set.pages.size() >= MacroSet::kMaxPages)
    return "there are at most " + std::to_string(MacroSet::kMaxPages) + " pages";
  m_result.set.pages.push_back(MacroPage{line.value, {}});
  return {};
}

std::string MacroReader::StartMacro(const SettingLine& line) {
  if (line.words.size() != 1) return "\"macro\" takes no words before '='";
  if (!EndMacro()) return {};
  if (std::string reason = CheckName(line.value, "a macro"); !reason.empty()) return reason;
  if (!m_macroNames.insert(line.value).second)
    return "there is already a macro named " + Quoted(line.value);
  // Macros before any page line go to a first page of their own.
  if (m_result.set.pages.empty()) {
    m_result.set.pages.push_back(MacroPage{kFirstPageName, {}});
    m_pageNames.insert(kFirstPageName);
  }
  MacroPage& page = m_result.set.pages.back();
  if (page.macros.size() >= MacroSet::kMaxPerPage)
    return "a page holds at most " + std::to_string(MacroSet::kMaxPerPage) + " macros";
  page.macros.push_back(Macro{line.value, {}, 0, {}});
  m_bInMacro = true;
  m_nMacroLine = m_nLine;
  m_nRepeatLine = 0;
  return {};
}

std::string MacroReader::Key(const SettingLine& line) {
  if (line.words.size() != 1) return "\"key\" takes no words before '='";
  Macro& macro = *Current();
  if (!macro.key.Empty()) return "the macro has a key already";
  const std::optional<MacroKey> key = ReadKey(line.value);
  if (!key) return "expected F1 to F12 with any of Ctrl, Alt and Shift, such as Shift+F2";
  if (std::string reason = KeyClash(*key, m_programKeys); !reason.empty()) return reason;
  const auto [owner, fresh] = m_keyOwners.emplace(KeyText(*key), macro.name);
  if (!fresh) return KeyText(*key) + " is already the key of " + Quoted(owner->second);
  macro.key = *key;
  return {};
}

std::string MacroReader::Repeat(const SettingLine& line) {
  if (line.words.size() != 1) return "\"repeat\" takes no words before '='";
  Macro& macro = *Current();
  if (macro.repeatMs != 0) return "the macro has a repeat period already";
  const std::vector<std::string_view> words = ValueWords(line.value);
  std::size_t pos = 0;
  const std::optional<std::int64_t> ms = ReadDuration(words, &pos);
  if (!ms || pos != words.size()) return "expected a period such as \"500 ms\" or \"2 s\"";
  if (*ms == 0) return "a repeat period is 10 ms to 24 hours";
  if (std::string reason = CheckRepeat(*ms); !reason.empty()) return reason;
  macro.repeatMs = *ms;
  m_nRepeatLine = m_nLine;
  return {};
}

std::string MacroReader::Step(const SettingLine& line) {
  Macro& macro = *Current();
  if (macro.steps.size() >= MacroSet::kMaxSteps)
    return "a macro has at most " + std::to_string(MacroSet::kMaxSteps) + " steps";
  const std::string_view word = line.words[0];
  SequenceStep step;
  if (word == "send") {
    step.kind = SequenceStep::Kind::kSend;
    step.send.text = line.value;
    // Without format words the text is ASCII with no line end.
    const std::vector<std::string_view> words(line.words.begin() + 1, line.words.end());
    if (std::string reason =
            words.empty() ? std::string() : ReadFormatWords(words, step.send, &step.lineEnd);
        !reason.empty())
      return reason;
  } else if (word == "wait") {
    if (line.words.size() != 1) return "\"wait\" takes no words before '='";
    step.kind = SequenceStep::Kind::kWait;
    const std::vector<std::string_view> words = ValueWords(line.value);
    std::size_t pos = 0;
    const std::optional<std::int64_t> ms = ReadDuration(words, &pos);
    if (!ms || pos != words.size()) return "expected a time such as \"500 ms\" or \"2 s\"";
    step.ms = *ms;
  } else {
    step.kind =
        word == "wait-for" ? SequenceStep::Kind::kWaitForText : SequenceStep::Kind::kWaitForRegex;
    step.pattern = line.value;
    std::size_t pos = 1;
    const std::optional<std::int64_t> ms = ReadDuration(line.words, &pos);
    if (!ms)
      return Quoted(word) + " needs its timeout before '=', such as \"" + std::string(word) +
             " 3 s = OK\"";
    step.ms = *ms;
    if (pos < line.words.size() && (line.words[pos] == "stop" || line.words[pos] == "continue")) {
      step.goOnAfterTimeout = line.words[pos] == "continue";
      ++pos;
    }
    if (pos < line.words.size())
      return "expected \"stop\" or \"continue\" after the timeout, not " + Quoted(line.words[pos]);
  }
  if (std::string reason = CheckStep(step); !reason.empty()) return reason;
  macro.steps.push_back(std::move(step));
  return {};
}

bool MacroReader::EndMacro() {
  Macro* macro = Current();
  m_bInMacro = false;
  if (macro == nullptr) return true;
  if (macro->steps.empty())
    return Fail(m_nMacroLine, "the macro " + Quoted(macro->name) + " has nothing to send");
  if (macro->repeatMs != 0 && macro->IsSequence())
    return Fail(m_nRepeatLine,
                "only a macro of one \"send\" repeats; " + Quoted(macro->name) + " is a sequence");
  return true;
}

}  // namespace

std::string MacroFileError::Describe() const {
  if (line == 0) return reason;
  return "line " + std::to_string(line) + ": " + reason;
}

MacroFileRead ReadMacroText(std::string_view text, std::span<const std::string_view> programKeys) {
  return MacroReader(programKeys).Read(text);
}

std::string MacroText(const MacroSet& set) {
  std::string text =
      "# Tarnwick macros: a page, then its macros; each macro's steps run in order.\n";
  text += std::string(kHeaderWord) + " = " + std::string(kVersion) + "\n";
  for (const MacroPage& page : set.pages) {
    text += "\npage = " + QuotedValue(page.name) + "\n";
    for (const Macro& macro : page.macros) {
      text += "\nmacro = " + QuotedValue(macro.name) + "\n";
      if (!macro.key.Empty()) text += "key = " + KeyText(macro.key) + "\n";
      if (macro.repeatMs != 0) text += "repeat = " + DurationText(macro.repeatMs) + "\n";
      for (const SequenceStep& step : macro.steps) text += StepLine(step) + "\n";
    }
  }
  return text;
}

std::string StepLine(const SequenceStep& step) {
  switch (step.kind) {
    case SequenceStep::Kind::kSend:
      return "send " + FormatWords(step.send, step.lineEnd) + " = " + QuotedValue(step.send.text);
    case SequenceStep::Kind::kWait:
      return "wait = " + DurationText(step.ms);
    case SequenceStep::Kind::kWaitForText:
    case SequenceStep::Kind::kWaitForRegex:
      return std::string(step.kind == SequenceStep::Kind::kWaitForText ? "wait-for "
                                                                       : "wait-for-regex ") +
             DurationText(step.ms) + (step.goOnAfterTimeout ? " continue" : "") + " = " +
             QuotedValue(step.pattern);
  }
  return {};
}

MacroFileRead ReadMacroFile(const std::filesystem::path& path,
                            std::span<const std::string_view> programKeys) {
  const FileText file = ReadTextFile(path, kMaxMacroFileBytes);
  MacroFileRead result;
  if (!file.exists) {
    result.error = MacroFileError{0, "the file does not exist"};
  } else if (!file.error.empty()) {
    result.error = MacroFileError{0, "the file could not be read: " + file.error};
  } else if (file.truncated) {
    result.error = MacroFileError{0, "the file is larger than a macro file can be (1 MiB)"};
  } else {
    result = ReadMacroText(file.text, programKeys);
  }
  return result;
}

std::string WriteMacroFile(const std::filesystem::path& path, const MacroSet& set) {
  return ReplaceTextFile(path, MacroText(set));
}

}  // namespace tarnwick
