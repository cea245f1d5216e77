#include "update/update_reply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarnwick {
namespace {

UpdateReply Parse(const std::string& body) {
  std::uint8_t buffer[kReplySize];
  CopyReply(body, buffer);
  return ParseReply(buffer);
}

TEST(RequestUrl, AppendsTheUidInUpperCaseHexWithoutLeadingZeros) {
  const std::string base = "http://h/ver/checkver.php?app=zerik";
  EXPECT_EQ(RequestUrl(base, 0xAB), base + "&uid=AB");
  EXPECT_EQ(RequestUrl(base, 0x1F00), base + "&uid=1F00");
  EXPECT_EQ(RequestUrl(base, 0x6F000001), base + "&uid=6F000001");
  EXPECT_EQ(RequestUrl(base, -1), base + "&uid=FFFFFFFF");
}

TEST(ReplyFields, ReadsSemicolonEndedFieldsAndIgnoresTheRest) {
  const UpdateReply reply = Parse("LastVer;1.3.0.0;1;http://h/Tarnwick;extra;fields;");
  EXPECT_EQ(reply.lastVer, "LastVer");
  EXPECT_EQ(reply.version, "1.3.0.0");
  EXPECT_EQ(reply.askFirst, 1);
  EXPECT_EQ(reply.downloadUrl, "http://h/Tarnwick");
}

TEST(ReplyFields, NulsEndTheTextButNotTheField) {
  // The NUL cuts field 2's text; the semicolon after it still ends the field.
  const UpdateReply reply = Parse(std::string("LastVer;1.3\0junk;0;http://h/x;", 30));
  EXPECT_EQ(reply.version, "1.3");
  EXPECT_EQ(reply.askFirst, 0);
  EXPECT_EQ(reply.downloadUrl, "http://h/x");
}

TEST(ReplyFields, OnlyTheFirst1024BytesCount) {
  // Field 2 fills the buffer: its end at byte 1024 ends the reply.
  const std::string version(1024 - 8, 'v');
  const UpdateReply reply = Parse("LastVer;" + version + "9;0;http://h/x;");
  EXPECT_EQ(reply.version, version);
  EXPECT_EQ(reply.askFirst, 0);
  EXPECT_EQ(reply.downloadUrl, "");

  std::uint8_t buffer[kReplySize];
  CopyReply(std::string(2000, ';'), buffer);
  std::size_t pos = 1023;
  EXPECT_EQ(ReadField(buffer, ';', pos), "");
  EXPECT_EQ(pos, 1024u);
  EXPECT_EQ(ReadField(buffer, ';', pos), "");  // nothing past the end
  EXPECT_EQ(pos, 1024u);
}

TEST(ReplyFields, AFieldWithoutItsSemicolonRunsToTheEndOfTheReply) {
  const UpdateReply reply = Parse("LastVer;2.0");
  EXPECT_EQ(reply.lastVer, "LastVer");
  EXPECT_EQ(reply.version, "2.0");
  EXPECT_EQ(reply.downloadUrl, "");
  // What a short reply leaves of the buffer is NULs, not an earlier reply.
  std::uint8_t buffer[kReplySize];
  std::memset(buffer, 'x', sizeof buffer);
  CopyReply("ab", buffer);
  std::size_t pos = 0;
  EXPECT_EQ(FieldText(ReadField(buffer, ';', pos)), "ab");
}

TEST(FieldInteger, ReadsAsPercentDDoesWithoutWrappingToZero) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},
      {"1", 1},
      {"  \t42xyz", 42},
      {"-7", -7},
      {"+9", 9},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"000", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"4294967296", 2147483647},  // 2^32: a wrapping reader would see 0
      {"99999999999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(FieldInteger(c.text), c.value) << c.text;
}

TEST(IsHttpUrl, TakesHttpAndHttpsWithAHostOnly) {
  for (const char* url : {"http://h/x", "https://h.example:8080/a?b=c", "HTTP://H/X", "http://h"})
    EXPECT_TRUE(IsHttpUrl(url)) << url;
  for (const char* url : {"", "ftp://h/x", "file:///etc/passwd", "http:/h/x", "http:///x", "//h/x",
                          "h/x", "http://h/a b", "http://h/\r\nX: y", "javascript:x"})
    EXPECT_FALSE(IsHttpUrl(url)) << url;
}

}  // namespace
}  // namespace tarnwick
