#include "update/update_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(AskedRecently, ThreeDaysAsASigned32BitDifference) {
  const std::int32_t now = 1700000000;
  EXPECT_TRUE(AskedRecently(now, now));
  EXPECT_TRUE(AskedRecently(now, now - 259199));
  EXPECT_FALSE(AskedRecently(now, now - 259200));
  EXPECT_FALSE(AskedRecently(now, 0));         // never asked
  EXPECT_TRUE(AskedRecently(now, now + 100));  // a clock set back counts as recent
  // Across the 32-bit wrap of the time.
  const std::int32_t wrapped = LowTime32(std::int64_t{1} << 32 | 10);
  EXPECT_EQ(wrapped, 10);
  EXPECT_TRUE(AskedRecently(wrapped, LowTime32((std::int64_t{1} << 32) - 100)));
  EXPECT_FALSE(AskedRecently(wrapped, LowTime32((std::int64_t{1} << 32) - 259190)));
  EXPECT_EQ(LowTime32(0x80000000LL), -2147483647 - 1);
}

TEST(JudgeReply, DecidesFromTheFourFields) {
  const struct {
    UpdateReply reply;
    ReplyVerdict verdict;
  } cases[] = {
      {{"LastVer", "1.3", 1, "http://h/x"}, ReplyVerdict::kAsk},
      {{"LastVer", "1.3", -5, "https://h/x"}, ReplyVerdict::kAsk},
      {{"LastVer", "1.3", 0, "http://h/x"}, ReplyVerdict::kUpdate},
      {{"LastVer", "1.0", 0, "http://h/x"}, ReplyVerdict::kUpdate},  // older counts as new
      {{"LastVer", "1.2.1.2", 0, "http://h/x"}, ReplyVerdict::kSameVersion},
      {{"LastVer", "1.2.1.2 ", 0, "http://h/x"}, ReplyVerdict::kUpdate},
      {{"lastver", "1.3", 0, "http://h/x"}, ReplyVerdict::kNotAReply},
      {{"", "", 0, ""}, ReplyVerdict::kNotAReply},
      {{"LastVer", "1.3", 1, "ftp://h/x"}, ReplyVerdict::kNoDownload},
      {{"LastVer", "1.3", 0, ""}, ReplyVerdict::kNoDownload},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeReply(c.reply, "1.2.1.2"), c.verdict) << c.reply.version << c.reply.downloadUrl;
  }
}

TEST(UpdateQuestionText, IsTheFixedTextWithBothVersions) {
  EXPECT_EQ(UpdateQuestionText("1.2.1.2", "1.3.0.0"),
            "There is a new version available !\r\n\r\nYour version: 1.2.1.2\r\nLast "
            "version:1.3.0.0\r\n\r\nWhould you like to update now ?");
}

TEST(ParseContentLength, DigitsOnly) {
  EXPECT_EQ(ParseContentLength("1234"), 1234u);
  EXPECT_EQ(ParseContentLength(" 0 \r\n"), 0u);
  EXPECT_EQ(ParseContentLength("268435457"), 268435457u);  // too large is judged later
  for (const char* bad :
       {"", " ", "-1", "+5", "12a", "1 2", "0x10", "1e3", "99999999999999999999999999999"})
    EXPECT_FALSE(ParseContentLength(bad)) << bad;
}

TEST(JudgeDownload, NeedsTheAnnouncedLengthAndAnExecutableOfTheOwnKind) {
  // An ELF 64-bit little-endian x86-64 signature, whatever this machine is.
  const ExecutableSignature own{std::string("\x7F"
                                            "ELF\x02\x01",
                                            6),
                                18, std::string("\x3E\x00", 2)};
  std::string elf(64, '\0');
  elf.replace(0, 6, own.prefix);
  elf.replace(18, 2, own.machine);
  std::string otherClass = elf, otherMachine = elf;
  otherClass[4] = '\x01';
  otherMachine[18] = '\xB7';  // AArch64
  const std::string length = std::to_string(elf.size());
  const struct {
    std::optional<std::string> header;
    std::string head;
    std::uint64_t size;
    DownloadVerdict verdict;
  } cases[] = {
      {length, elf, elf.size(), DownloadVerdict::kAccept},
      {std::nullopt, elf, elf.size(), DownloadVerdict::kNoLength},
      {"abc", elf, elf.size(), DownloadVerdict::kNoLength},
      {length, elf, elf.size() - 1, DownloadVerdict::kLengthMismatch},  // short body
      {length, elf, elf.size() + 1, DownloadVerdict::kLengthMismatch},  // long body
      {"268435457", elf, 268435457, DownloadVerdict::kTooLarge},
      {"4", "MZab", 4, DownloadVerdict::kNotExecutable},
      {length, otherClass, elf.size(), DownloadVerdict::kNotExecutable},
      {length, otherMachine, elf.size(), DownloadVerdict::kNotExecutable},
      {"8", elf.substr(0, 8), 8, DownloadVerdict::kNotExecutable},  // no machine field
      {"0", "", 0, DownloadVerdict::kNotExecutable},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JudgeDownload(c.header, c.size, c.head, own), c.verdict)
        << c.header.value_or("none") << " " << c.head.size();
  }
  EXPECT_EQ(JudgeDownload("4", 4, "MZab", {"MZ", 0, {}}), DownloadVerdict::kAccept);
}

}  // namespace
}  // namespace tarnwick
