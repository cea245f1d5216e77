#include "transmit/typed_keys.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// A stand-in for a single-byte code page: é is 0xE9, anything else beyond
// ASCII '?'.
std::string CodePage(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8.substr(i, 2) == "\xC3\xA9") {
      out += '\xE9';
      ++i;
    } else if (static_cast<unsigned char>(utf8[i]) >= 0x80) {
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
      out += '?';
    } else {
      out += utf8[i];
    }
  }
  return out;
}

struct KeyCase {
  const char* name;
  TypedKey key;
  std::string text;
  KeyModifiers modifiers;
  TypingOptions options;
  std::string bytes;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class TypedKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(TypedKeys, SendWhatATerminalSends) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(KeyBytes(c.key, c.text, c.modifiers, c.options, CodePage), c.bytes);
}

constexpr KeyModifiers kNone{};
constexpr KeyModifiers kCtrl{false, true, false};
constexpr KeyModifiers kShift{true, false, false};
constexpr KeyModifiers kAlt{false, false, true};
constexpr KeyModifiers kCtrlShift{true, true, false};
constexpr TypingOptions kCr{};

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedKeys,
    ::testing::Values(
        KeyCase{"CharacterInTheEncoding", TypedKey::kCharacter, "\xC3\xA9", kNone, kCr, "\xE9"},
        KeyCase{"BeyondTheEncoding", TypedKey::kCharacter, "\xE2\x82\xAC", kNone, kCr, "?"},
        KeyCase{"EnterCr", TypedKey::kEnter, "", kNone, kCr, "\r"},
        KeyCase{"EnterCrLf", TypedKey::kEnter, "", kNone, {LineEnd::kCrLf}, "\r\n"},
        KeyCase{"EnterNone", TypedKey::kEnter, "", kNone, {LineEnd::kNone}, ""},
        KeyCase{"BackspaceDel", TypedKey::kBackspace, "", kNone, kCr, "\x7F"},
        KeyCase{"BackspaceBs", TypedKey::kBackspace, "", kNone, {LineEnd::kCr, false}, "\b"},
        KeyCase{"Tab", TypedKey::kTab, "", kNone, kCr, "\t"},
        KeyCase{"BackTab", TypedKey::kTab, "", kShift, kCr, "\x1B[Z"},
        KeyCase{"Escape", TypedKey::kEscape, "", kNone, kCr, "\x1B"},
        KeyCase{"Up", TypedKey::kUp, "", kNone, kCr, "\x1B[A"},
        KeyCase{"Left", TypedKey::kLeft, "", kNone, kCr, "\x1B[D"},
        KeyCase{"CtrlRight", TypedKey::kRight, "", kCtrl, kCr, "\x1B[1;5C"},
        KeyCase{"ShiftHome", TypedKey::kHome, "", kShift, kCr, "\x1B[1;2H"},
        KeyCase{"Delete", TypedKey::kDelete, "", kNone, kCr, "\x1B[3~"},
        KeyCase{"AltPageDown", TypedKey::kPageDown, "", kAlt, kCr, "\x1B[6;3~"},
        KeyCase{"CtrlA", TypedKey::kCharacter, "a", kCtrl, kCr, "\x01"},
        KeyCase{"CtrlCapitalC", TypedKey::kCharacter, "C", kCtrl, kCr, "\x03"},
        KeyCase{"CtrlZ", TypedKey::kCharacter, "z", kCtrl, kCr, "\x1A"},
        KeyCase{"CtrlSpace", TypedKey::kCharacter, " ", kCtrl, kCr, std::string(1, '\0')},
        KeyCase{"CtrlBracket", TypedKey::kCharacter, "]", kCtrl, kCr, "\x1D"},
        // The view keeps these for its commands.
        KeyCase{"CtrlShiftCStaysTheViews", TypedKey::kCharacter, "c", kCtrlShift, kCr, ""},
        KeyCase{"CtrlDigitSendsNothing", TypedKey::kCharacter, "5", kCtrl, kCr, ""},
        KeyCase{"AltLetter", TypedKey::kCharacter, "x", kAlt, kCr, "\x1Bx"},
        KeyCase{"AltEnter", TypedKey::kEnter, "", kAlt, kCr, "\x1B\r"}));

TEST(TypedKeys, PastedLineBreaksAreEnter) {
  const TypingOptions lf{LineEnd::kLf};
  EXPECT_EQ(PasteBytes("a\r\nb\nc\rd\xC3\xA9", lf, CodePage), "a\nb\nc\nd\xE9");
  EXPECT_EQ(PasteBytes("x\r\n", {LineEnd::kNone}, CodePage), "x");
}

}  // namespace
}  // namespace tarnwick
