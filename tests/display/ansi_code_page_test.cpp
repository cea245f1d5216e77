// The display's code page: every byte has a character that maps back to it.
#include "display/ansi_code_page.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(AnsiCodePage, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    EXPECT_EQ(UnicodeToAnsi(AnsiToUnicode(byte)), byte) << b;
  }
}

TEST(AnsiCodePage, WindowsCharactersAndTheUndefinedFive) {
  struct Case {
    std::uint8_t byte;
    char16_t shown;
  };
  const Case cases[] = {
      {0x41, u'A'},   {0x00, 0x0000}, {0x7F, 0x007F}, {0x80, 0x20AC},  // euro
      {0x93, 0x201C}, {0x94, 0x201D}, {0x9F, 0x0178}, {0x8A, 0x0160},
      {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090},
      {0x9D, 0x009D}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
  };
  for (const Case& c : cases) EXPECT_EQ(AnsiToUnicode(c.byte), c.shown) << int(c.byte);
}

TEST(AnsiCodePage, CharactersOutsideThePageBecomeAQuestionMark) {
  for (char32_t c : {char32_t{0x0080}, char32_t{0x0085}, char32_t{0x4E2D}, char32_t{0x1F600},
                     char32_t{0x20AD}}) {
    EXPECT_EQ(UnicodeToAnsi(c), '?') << static_cast<unsigned>(c);
  }
}

}  // namespace
}  // namespace tarnwick
