#include "transmit/macro_file.h"
#include "transmit/macro_form.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

constexpr std::array<std::string_view, 4> kProgramKeys = {"F1", "F3", "Shift+F3", "Ctrl+Shift+P"};

std::string StepSummary(const SequenceStep& step) {
  switch (step.kind) {
    case SequenceStep::Kind::kSend:
      return "send " + FormatWords(step.send, step.lineEnd) + " [" + step.send.text + "]";
    case SequenceStep::Kind::kWait:
      return "wait " + std::to_string(step.ms);
    case SequenceStep::Kind::kWaitForText:
    case SequenceStep::Kind::kWaitForRegex:
      return std::string(step.kind == SequenceStep::Kind::kWaitForText ? "for " : "regex ") +
             std::to_string(step.ms) + (step.goOnAfterTimeout ? " go on" : " stop") + " [" +
             step.pattern + "]";
  }
  return {};
}

// "page: macro(key, repeat): step; step / ..." for one page per line.
std::string Summary(const MacroSet& set) {
  std::string text;
  for (const MacroPage& page : set.pages) {
    text += page.name + ":";
    for (const Macro& macro : page.macros) {
      text +=
          " " + macro.name + "(" + KeyText(macro.key) + "," + std::to_string(macro.repeatMs) + ")";
      for (const SequenceStep& step : macro.steps) text += " " + StepSummary(step) + ";";
    }
    text += "\n";
  }
  return text;
}

constexpr const char* kHeader = "tarnwick-macros = 1\n";

std::string Macros(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "macro = m" + std::to_string(i) + "\nsend = x\n";
  return text;
}

struct ReadCase {
  const char* name;
  std::string text;
  std::string summary;  // when the file is good
  std::size_t line = 0;
  std::string reason{};  // when it is refused
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class MacroFileRead_ : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MacroFileRead_, GivesTheMacrosOrTheLineAndTheReason) {
  const ReadCase& c = GetParam();
  const MacroFileRead read = ReadMacroText(c.text, kProgramKeys);
  if (c.reason.empty()) {
    ASSERT_TRUE(read.Ok()) << read.error->Describe();
    EXPECT_EQ(Summary(read.set), c.summary);
  } else {
    ASSERT_FALSE(read.Ok()) << Summary(read.set);
    EXPECT_EQ(read.error->line, c.line) << read.error->Describe();
    EXPECT_EQ(read.error->reason, c.reason);
    EXPECT_TRUE(read.set.pages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Good, MacroFileRead_,
    ::testing::Values(
        ReadCase{"Everything",
                 "# shared by the lab\r\n"
                 "tarnwick-macros = 1\r\n"
                 "page = Modem\r\n"
                 "macro = Reset\r\n"
                 "key = shift+f2\r\n"
                 "send ascii cr = ATZ\r\n"
                 "\r\n"
                 "macro = \"  Signal \"\"now\"\" \"\r\n"
                 "  repeat = 1.5 s\r\n"
                 "  send HEX 2 reversed = 01 02\r\n"
                 "page = Boot\r\n"
                 "macro = Stop autoboot\r\n"
                 "key = Ctrl+Shift+F12\r\n"
                 "wait-for 10s = Hit any key\r\n"
                 "send = \" \"\r\n"
                 "wait = 250 ms\r\n"
                 "wait-for-regex 2 s continue = ^=> ?\r\n",
                 "Modem: Reset(Shift+F2,0) send ASCII CR [ATZ]; "
                 "  Signal \"now\" (,1500) send HEX 2 reversed [01 02];\n"
                 "Boot: Stop autoboot(Ctrl+Shift+F12,0) for 10000 stop [Hit any key]; "
                 "send ASCII [ ]; wait 250; regex 2000 go on [^=> ?];\n"},
        ReadCase{"MacrosBeforeAnyPage", std::string(kHeader) + "macro = a\nsend DEC 1 = -1\n",
                 "Macros: a(,0) send DEC 1 [-1];\n"},
        ReadCase{"FullPages", std::string(kHeader) + "page = 1\n" + Macros(12), "1:" + [] {
                   std::string s;
                   for (int i = 0; i < 12; ++i)
                     s += " m" + std::to_string(i) + "(,0) send ASCII [x];";
                   return s + "\n";
                 }()}));

std::string Bad(std::string body) { return std::string(kHeader) + "page = P\n" + body; }

INSTANTIATE_TEST_SUITE_P(
    Errors, MacroFileRead_,
    ::testing::Values(
        ReadCase{"Empty", "", "", 0, "not a macro file: it begins with \"tarnwick-macros = 1\""},
        ReadCase{"NoHeader", "page = P\n", "", 1,
                 "not a macro file: it begins with \"tarnwick-macros = 1\""},
        ReadCase{"NewerVersion", "tarnwick-macros = 2\n", "", 1,
                 "macro file version \"2\" is not known here (version 1 is)"},
        ReadCase{"NotUtf8", Bad("macro = \xFF\n"), "", 3, "the line is not UTF-8 text"},
        ReadCase{"NoEquals", Bad("macro Reset\n"), "", 3, "expected a setting: WORDS = VALUE"},
        ReadCase{"CutQuote", Bad("macro = \"Reset\n"), "", 3,
                 "a quoted value must end with a quote"},
        ReadCase{"LoneQuote", Bad("macro = \"a\"b\"\n"), "", 3,
                 "a quote inside a quoted value is written twice"},
        ReadCase{"UnknownSetting", Bad("macro = a\nsned = x\n"), "", 4, "unknown setting \"sned\""},
        ReadCase{"StepBeforeMacro", Bad("send = x\n"), "", 3,
                 "\"send\" comes before the first \"macro\""},
        ReadCase{"PageWords", Bad("page two = Q\n"), "", 3, "\"page\" takes no words before '='"},
        ReadCase{"EmptyPageName", Bad("page = \"\"\n"), "", 3, "a page needs a name"},
        ReadCase{"PageTwice", Bad("page = P\n"), "", 3, "there is already a page named \"P\""},
        ReadCase{"FifthPage", Bad("page = 2\npage = 3\npage = 4\npage = 5\n"), "", 6,
                 "there are at most 4 pages"},
        ReadCase{"MacroTwice", Bad("macro = a\nsend = x\nmacro = a\n"), "", 5,
                 "there is already a macro named \"a\""},
        ReadCase{"ThirteenthMacro", Bad(Macros(13)), "", 27, "a page holds at most 12 macros"},
        ReadCase{"ControlInName", Bad("macro = a\tb\n"), "", 3,
                 "a macro's name holds a control character"},
        ReadCase{"NothingToSend", Bad("macro = a\nkey = F2\nmacro = b\nsend = x\n"), "", 3,
                 "the macro \"a\" has nothing to send"},
        ReadCase{"NothingToSendAtTheEnd", Bad("macro = a\n"), "", 3,
                 "the macro \"a\" has nothing to send"},
        ReadCase{"NoFunctionKey", Bad("macro = a\nkey = Ctrl+K\n"), "", 4,
                 "expected F1 to F12 with any of Ctrl, Alt and Shift, such as Shift+F2"},
        ReadCase{"F13", Bad("macro = a\nkey = F13\n"), "", 4,
                 "expected F1 to F12 with any of Ctrl, Alt and Shift, such as Shift+F2"},
        ReadCase{"ProgramKey", Bad("macro = a\nkey = Shift+F3\n"), "", 4,
                 "Shift+F3 is the program's own key"},
        ReadCase{"DesktopKey", Bad("macro = a\nkey = Alt+F4\n"), "", 4,
                 "Alt+F4 is kept by the desktop"},
        ReadCase{"ConsoleKey", Bad("macro = a\nkey = Alt+Ctrl+F1\n"), "", 4,
                 "Ctrl+Alt+F1 is kept by the desktop"},
        ReadCase{"KeyTwice", Bad("macro = a\nkey = F2\nsend = x\nmacro = b\nkey = f2\n"), "", 7,
                 "F2 is already the key of \"a\""},
        ReadCase{"TwoKeys", Bad("macro = a\nkey = F2\nkey = F4\n"), "", 5,
                 "the macro has a key already"},
        ReadCase{"RepeatTooFast", Bad("macro = a\nrepeat = 5 ms\n"), "", 4,
                 "a repeat period is 10 ms to 24 hours"},
        ReadCase{"RepeatNoUnit", Bad("macro = a\nrepeat = 100\n"), "", 4,
                 "expected a period such as \"500 ms\" or \"2 s\""},
        ReadCase{"RepeatOfASequence", Bad("macro = a\nrepeat = 1 s\nsend = x\nwait = 1 s\n"), "", 4,
                 "only a macro of one \"send\" repeats; \"a\" is a sequence"},
        ReadCase{"UnknownFormat", Bad("macro = a\nsend HAX = 01\n"), "", 4,
                 "unknown format \"HAX\" (ASCII, HEX, BIN, DEC or FLOAT)"},
        ReadCase{"LineEndOnHex", Bad("macro = a\nsend HEX 1 CR = 01\n"), "", 4,
                 "a line end is appended to ASCII text only"},
        ReadCase{"ReversedAscii", Bad("macro = a\nsend ASCII reversed = x\n"), "", 4,
                 "\"reversed\" does not apply to ASCII"},
        ReadCase{"ParserWords", Bad("macro = a\nsend HEX 1 = 123\n"), "", 4, "Invalid data size"},
        ReadCase{"ParserToken", Bad("macro = a\nsend DEC 1 = 5 128\n"), "", 4,
                 "Token size greater that limit ! \"128\""},
        ReadCase{"NothingInTheNumbers", Bad("macro = a\nsend HEX 1 = \"  \"\n"), "", 4,
                 "No data to send !"},
        ReadCase{"WaitNoTime", Bad("macro = a\nwait = soon\n"), "", 4,
                 "expected a time such as \"500 ms\" or \"2 s\""},
        ReadCase{"WaitForNoTimeout", Bad("macro = a\nwait-for = OK\n"), "", 4,
                 "\"wait-for\" needs its timeout before '=', such as \"wait-for 3 s = OK\""},
        ReadCase{"WaitForZero", Bad("macro = a\nwait-for 0 ms = OK\n"), "", 4,
                 "a wait for text times out after 1 ms to 24 hours"},
        ReadCase{"WaitForBadWord", Bad("macro = a\nwait-for 1 s retry = OK\n"), "", 4,
                 "expected \"stop\" or \"continue\" after the timeout, not \"retry\""},
        ReadCase{"WaitForNothing", Bad("macro = a\nwait-for 1 s = \"\"\n"), "", 4,
                 "the text to wait for is empty"},
        ReadCase{"RegexDoesNotCompile", Bad("macro = a\nwait-for-regex 1 s = (OK\n"), "", 4,
                 "the regular expression does not compile: a parenthesis is not closed"},
        ReadCase{"BackReference", Bad("macro = a\nwait-for-regex 1 s = (a)\\1\n"), "", 4,
                 "back-references (\\1) are not supported in a wait"},
        ReadCase{"TooManySteps",
                 Bad("macro = a\n" +
                     [] {
                       std::string s;
                       for (int i = 0; i < 101; ++i) s += "wait = 1 ms\n";
                       return s;
                     }()),
                 "", 104, "a macro has at most 100 steps"}));

TEST(MacroFile, WhatIsWrittenReadsBackTheSame) {
  MacroSet set;
  MacroPage& page = set.pages.emplace_back(MacroPage{" spaced page ", {}});
  Macro plain{"\"quoted\"", {5, true, false, true}, 250, {}};
  plain.steps.push_back(
      {SequenceStep::Kind::kSend, {" AT\\0D ", kTxFormatAscii}, LineEnd::kCrLf, 0, "", false});
  page.macros.push_back(plain);
  Macro sequence{"seq", {}, 0, {}};
  sequence.steps.push_back(
      {SequenceStep::Kind::kSend, {"1 -2", kTxFormatFloat, 4, true}, LineEnd::kNone, 0, "", false});
  sequence.steps.push_back({SequenceStep::Kind::kWait, {}, LineEnd::kNone, 1500, "", false});
  sequence.steps.push_back(
      {SequenceStep::Kind::kWaitForText, {}, LineEnd::kNone, 3000, "\"OK\" = yes", true});
  sequence.steps.push_back(
      {SequenceStep::Kind::kWaitForRegex, {}, LineEnd::kNone, 7, " ^\\+CSQ: \\d+$", false});
  page.macros.push_back(sequence);
  set.pages.push_back(MacroPage{"empty", {}});

  testing::TempDir dir;
  const auto path = dir.path() / "macros.txt";
  ASSERT_EQ(WriteMacroFile(path, set), "");
  const MacroFileRead read = ReadMacroFile(path, kProgramKeys);
  ASSERT_TRUE(read.Ok()) << read.error->Describe() << "\n" << MacroText(set);
  EXPECT_EQ(read.set, set) << Summary(read.set) << "\n" << MacroText(set);
}

// The macro editor's form: read as the file would be, then checked against
// the other macros. An error names its field (and a step its line).
struct FormCase {
  const char* name;
  MacroForm form;
  std::optional<MacroPlace> editing;
  std::string summary;  // the macro read, as Summary shows it; or
  std::string error{};  // the field and reason
};

void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class MacroFormRead_ : public ::testing::TestWithParam<FormCase> {};

TEST_P(MacroFormRead_, GivesTheMacroOrTheFieldAndTheReason) {
  const FormCase& c = GetParam();
  const MacroFileRead set = ReadMacroText(std::string(kHeader) +
                                              "page = A\nmacro = Reset\nkey = Shift+F2\nsend = "
                                              "ATZ\nmacro = Ping\nsend = AT\npage = Full\n" +
                                              Macros(12),
                                          kProgramKeys);
  ASSERT_TRUE(set.Ok()) << set.error->Describe();
  const MacroFormRead read = ReadMacroForm(c.form, set.set, c.editing, kProgramKeys);
  EXPECT_EQ(read.error, c.error);
  ASSERT_EQ(read.macro.has_value(), c.error.empty());
  if (read.macro) {
    EXPECT_EQ(Summary(MacroSet{{MacroPage{"p", {*read.macro}}}}), c.summary);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, MacroFormRead_,
    ::testing::Values(
        FormCase{"NewSequence",
                 {"Boot", "ctrl+f5", "", "send ASCII CR = ATZ\nwait-for 2 s = OK", 0},
                 std::nullopt,
                 "p: Boot(Ctrl+F5,0) send ASCII CR [ATZ]; for 2000 stop [OK];\n"},
        FormCase{"EditedKeepsItsOwnNameAndKey",
                 {"Reset", "Shift+F2", "1 s", "send = ATZ", 0},
                 MacroPlace{0, 0},
                 "p: Reset(Shift+F2,1000) send ASCII [ATZ];\n"},
        FormCase{"AnotherMacrosKey",
                 {"Boot", "shift+F2", "", "send = x", 0},
                 std::nullopt,
                 {},
                 "Key: Shift+F2 is already the key of \"Reset\""},
        FormCase{"AnotherMacrosName",
                 {"Ping", "", "", "send = x", 0},
                 MacroPlace{0, 0},
                 {},
                 "Name: there is already a macro named \"Ping\""},
        FormCase{"TheProgramsKey",
                 {"Boot", "F1", "", "send = x", 0},
                 std::nullopt,
                 {},
                 "Key: F1 is the program's own key"},
        FormCase{"AStepThatIsNoStep",
                 {"Boot", "", "", "send = x\nsned = y", 0},
                 std::nullopt,
                 {},
                 "Steps, line 2: unknown setting \"sned\""},
        FormCase{"NoSteps",
                 {"Boot", "", "", "", 0},
                 std::nullopt,
                 {},
                 "Steps: give at least one, such as send ASCII CR = ATZ"},
        FormCase{"ASequenceThatRepeats",
                 {"Boot", "", "2 s", "send = x\nwait = 1 s", 0},
                 std::nullopt,
                 {},
                 "Repeat: only a macro of one \"send\" repeats; \"Boot\" is a sequence"},
        FormCase{"AnotherMacroInTheSteps",
                 {"Boot", "", "", "send = x\nmacro = y\nsend = z", 0},
                 std::nullopt,
                 {},
                 "Steps: only send, wait, wait-for and wait-for-regex lines belong here"},
        FormCase{"AFullPage",
                 {"Boot", "", "", "send = x", 1},
                 std::nullopt,
                 {},
                 "Page: \"Full\" holds 12 macros already"},
        FormCase{"MovedWithinItsFullPage",
                 {"m3", "", "", "send = y", 1},
                 MacroPlace{1, 3},
                 "p: m3(,0) send ASCII [y];\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
