// The Delimiter edit's text: every byte shown and read back, and the texts a
// user may type.
#include "dialogs/delimiter_text.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(DelimiterText, ShowsPrintableBytesAsThemselvesAndOthersAsHex) {
  const struct {
    unsigned char byte;
    std::string text;
  } cases[] = {
      {0x20, " "},    {0x41, "A"},    {0x5C, "\\"},   {0x7F, "\x7F"},
      {0x00, "\\00"}, {0x09, "\\09"}, {0x0A, "\\0A"}, {0x1F, "\\1F"},
      {0x80, "\\80"}, {0xB5, "\\B5"}, {0xFF, "\\FF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DelimiterText(static_cast<char>(c.byte)), c.text) << int{c.byte};
  }
}

TEST(DelimiterText, EveryByteReadsBackAsItself) {
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(static_cast<unsigned char>(DelimiterFromText(DelimiterText(static_cast<char>(byte)))),
              byte);
  }
}

TEST(DelimiterText, TypedTexts) {
  const struct {
    const char* text;
    unsigned char byte;
  } cases[] = {
      {"", 0x20},     {"\\0a", 0x0A}, {"\\0A", 0x0A}, {"\\4142", 0x41}, {"\\4", 0x5C},
      {"\\", 0x5C},   {"ab", 0x61},   {"\\ff", 0xFF}, {"\\e9x", 0xE9},  {"\\G1", 0x5C},
      {"\\1G", 0x5C}, {"\\ 1", 0x5C}, {"\\-1", 0x5C}, {",", 0x2C},      {"\xE9", 0xE9},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<unsigned char>(DelimiterFromText(c.text)), c.byte) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick
