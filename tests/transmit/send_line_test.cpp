#include "transmit/send_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transmit/display_text.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A single-byte encoding: Latin-1, '?' beyond it.
std::string Latin1(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F));
    } else {
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
      out += '?';
    }
  }
  return out;
}

struct SendLineCase {
  const char* name;
  SendEntry entry;
  LineEnd end;
  bool latin1;
  Bytes bytes;              // when described is empty
  std::string described{};  // the error beside the field
};

void PrintTo(const SendLineCase& c, std::ostream* os) { *os << c.name; }

class SendLineTable : public ::testing::TestWithParam<SendLineCase> {};

TEST_P(SendLineTable, GivesBytesOrTheParsersWords) {
  const SendLineCase& c = GetParam();
  const SendParse parse = ParseSendText(c.entry, c.end, c.latin1 ? TextEncoder(Latin1) : nullptr);
  if (c.described.empty()) {
    EXPECT_TRUE(parse.ok) << parse.Describe();
    EXPECT_EQ(parse.bytes, c.bytes);
  } else {
    EXPECT_FALSE(parse.ok);
    EXPECT_EQ(parse.Describe(), c.described);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendLineTable,
    ::testing::Values(
        SendLineCase{"AsciiWithCr", {"AT"}, LineEnd::kCr, false, {0x41, 0x54, 0x0D}},
        SendLineCase{
            "EscapesAndCrLf", {"\\41\\0d"}, LineEnd::kCrLf, false, {0x41, 0x0D, 0x0D, 0x0A}},
        SendLineCase{"EmptyTextSendsTheLineEnd", {""}, LineEnd::kLf, false, {0x0A}},
        SendLineCase{"NothingAtAll", {""}, LineEnd::kNone, false, {}, "No data to send !"},
        SendLineCase{"EncodedBeforeEscapes", {"\xC3\xA9\\41"}, LineEnd::kNone, true, {0xE9, 0x41}},
        SendLineCase{"Utf8Kept", {"\xC3\xA9"}, LineEnd::kNone, false, {0xC3, 0xA9}},
        SendLineCase{"HexIgnoresTheLineEnd",
                     {"1 2", kTxFormatHex, 2, true},
                     LineEnd::kCr,
                     false,
                     {0x01, 0x00, 0x02, 0x00}},
        SendLineCase{"FloatIsFourBytes",
                     {"1", kTxFormatFloat, 1},
                     LineEnd::kNone,
                     false,
                     {0x3F, 0x80, 0x00, 0x00}},
        SendLineCase{"NumbersOnlySeparators",
                     {" ", kTxFormatDec, 2},
                     LineEnd::kCr,
                     false,
                     {},
                     "No data to send !"},
        SendLineCase{"HexBadDigit",
                     {"12 3G", kTxFormatHex, 1},
                     LineEnd::kNone,
                     false,
                     {},
                     "Incorrect string"},
        SendLineCase{"DecTooLarge",
                     {"128", kTxFormatDec, 1},
                     LineEnd::kNone,
                     false,
                     {},
                     "Token size greater that limit ! \"128\""},
        // The parser stops after the first byte of a character of two.
        SendLineCase{"BinCutInsideACharacter",
                     {"10\xC3\xA9", kTxFormatBin, 1},
                     LineEnd::kNone,
                     false,
                     {},
                     "Incorrect token ! \"10\xC3\xA9\""}));

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// Text typed here in the display's encoding, and received bytes back as text.
TEST(DisplayText, TypedTextBecomesTheEncodingsBytesAndBack) {
  const struct {
    TextEncoding encoding;
    const char* typed;
    std::string bytes;
    bool lacking;  // a character the encoding has no byte for
  } cases[] = {
      {TextEncoding::kCp1252, "AT\\0D", "AT\\0D", false},  // ASCII and escapes as they are
      {TextEncoding::kCp1252, "\xC3\xA9\xE2\x82\xAC", "\xE9\x80", false},  // é, the euro sign
      {TextEncoding::kCp1252,
       "a\xE6\x97\xA5"
       "b",
       "a?b", true},  // beyond the code page
      {TextEncoding::kCp1252,
       "a\xFF"
       "b",
       "a?b", true},  // not UTF-8
      {TextEncoding::kUtf8, "\xC3\xA9\xE6\x97\xA5", "\xC3\xA9\xE6\x97\xA5", false},
      {TextEncoding::kCp437, "\xC3\xA9\xE2\x82\xAC", "\x82?", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeDisplayText(c.typed, c.encoding), c.bytes) << c.typed;
    EXPECT_EQ(DisplayTextProblem(c.typed, c.encoding).empty(), !c.lacking) << c.typed;
  }
  // A character split between two reads comes out once, whole.
  ReceivedTextDecoder utf8(TextEncoding::kUtf8);
  std::string text;
  const std::uint8_t first[] = {'O', 'K', 0xE2, 0x82}, second[] = {0xAC, 0xFF};
  utf8.Decode(first, sizeof first, text);
  utf8.Decode(second, sizeof second, text);
  EXPECT_EQ(text, "OK\xE2\x82\xAC\xEF\xBF\xBD");
  ReceivedTextDecoder cp1252;
  text.clear();
  cp1252.Decode(first, sizeof first, text);
  EXPECT_EQ(text, "OK\xC3\xA2\xE2\x80\x9A");
}

}  // namespace
}  // namespace tarnwick
