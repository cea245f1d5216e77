// The display's code page: every byte has a character that maps back to it;
// typed text becomes the bytes of the display's encoding, or a clear refusal;
// the text options' names read back as what they name.
#include "display/ansi_code_page.h"

#include <gtest/gtest.h>

#include "display/code_pages.h"
#include "settings/text_option_names.h"

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

TEST(EncodeText, GivesTheEncodingsBytesOrSaysWhichCharacterHasNone) {
  const struct {
    const char* utf8;
    TextEncoding encoding;
    std::string bytes;    // when it encodes
    const char* failure;  // otherwise, the message
  } cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC"
       "5",
       TextEncoding::kCp1252,
       "caf\xE9 \x80"
       "5",
       nullptr},
      {"caf\xC3\xA9 \xE2\x82\xAC"
       "5",
       TextEncoding::kIso8859_1, "", "Character 6 (U+20AC) has no byte in ISO-8859-1."},
      {"\xE2\x96\x91\xC3\xBC", TextEncoding::kCp437, "\xB0\x81", nullptr},
      {"\xE4\xB8\xAD", TextEncoding::kUtf8, "\xE4\xB8\xAD", nullptr},
      {"ok \xE4\xB8\xAD", TextEncoding::kCp1252, "", "Character 4 (U+4E2D) has no byte in cp1252."},
      {"a\xFF", TextEncoding::kUtf8, "", "The text is not valid UTF-8: byte 0xFF at character 2."},
      {"?", TextEncoding::kCp437, "?", nullptr},
  };
  for (const auto& c : cases) {
    std::string out = "kept";
    const auto failure = EncodeText(c.utf8, c.encoding, out);
    if (c.failure) {
      ASSERT_TRUE(failure) << c.utf8;
      EXPECT_EQ(failure->strMessage, c.failure);
      EXPECT_EQ(out, "kept");
    } else {
      EXPECT_FALSE(failure) << failure->strMessage;
      EXPECT_EQ(out, "kept" + c.bytes) << c.utf8;
    }
  }
}

TEST(TextOptionNames, ReadBackWhatTheyNameWhateverTheCaseAndRefuseTheRest) {
  for (TextEncoding e : {TextEncoding::kCp1252, TextEncoding::kUtf8, TextEncoding::kIso8859_1,
                         TextEncoding::kCp437}) {
    EXPECT_EQ(EncodingFromProfileName(EncodingProfileName(e)), e);
    EXPECT_EQ(EncodingFromArgument(EncodingArgument(e)), e);
  }
  for (ControlCharacters c :
       {ControlCharacters::kAsIs, ControlCharacters::kPictures, ControlCharacters::kEscapes}) {
    EXPECT_EQ(ControlCharactersFromName(ControlCharactersName(c)), c);
  }
  const struct {
    const char* text;
    std::optional<TextEncoding> encoding;
  } spellings[] = {
      {"UTF-8", TextEncoding::kUtf8},
      {"utf-8", TextEncoding::kUtf8},
      {"ISO-8859-1", TextEncoding::kIso8859_1},
      {"CP437", TextEncoding::kCp437},
      {"utf8", std::nullopt},
      {"", std::nullopt},
      {"latin1", std::nullopt},
  };
  for (const auto& s : spellings) EXPECT_EQ(EncodingFromArgument(s.text), s.encoding) << s.text;
  EXPECT_EQ(EncodingProfileName(TextEncoding::kUtf8), "UTF-8");
  EXPECT_EQ(EncodingArgument(TextEncoding::kUtf8), "utf-8");
  EXPECT_EQ(ControlCharactersFromName("Pictures"), ControlCharacters::kPictures);
  EXPECT_EQ(ControlCharactersFromName("hidden"), std::nullopt);
}

}  // namespace
}  // namespace tarnwick
