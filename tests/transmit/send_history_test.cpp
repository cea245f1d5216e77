#include "transmit/send_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "transmit/history_file.h"

namespace tarnwick {
namespace {

using testing::TempDir;

SendEntry Ascii(std::string text) { return SendEntry{std::move(text)}; }

std::vector<std::string> Texts(const SendHistory& history) {
  std::vector<std::string> texts;
  for (const SendEntry& entry : history.Entries())
    texts.push_back(entry.text + "/" + FormatWords(entry));
  return texts;
}

struct AddCase {
  const char* name;
  std::vector<SendEntry> added;
  std::vector<std::string> expected;  // text/format, most recent first
};

void PrintTo(const AddCase& c, std::ostream* os) { *os << c.name; }

class HistoryAdd : public ::testing::TestWithParam<AddCase> {};

TEST_P(HistoryAdd, KeepsDistinctEntriesMostRecentFirst) {
  SendHistory history;
  for (const SendEntry& entry : GetParam().added) history.Add(entry);
  EXPECT_EQ(Texts(history), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryAdd,
    ::testing::Values(AddCase{"ResentMovesToTheFront",
                              {Ascii("a"), Ascii("b"), Ascii("c"), Ascii("a")},
                              {"a/ASCII", "c/ASCII", "b/ASCII"}},
                      AddCase{"FormatMakesADifferentEntry",
                              {Ascii("10"), {"10", kTxFormatHex, 1}, {"10", kTxFormatHex, 2}},
                              {"10/HEX 2", "10/HEX 1", "10/ASCII"}},
                      // A unit length or byte order that ASCII does not use is no difference.
                      AddCase{"WhatDoesNotApplyIsIgnored",
                              {{"x", kTxFormatAscii, 3, true},
                               Ascii("x"),
                               {"1", kTxFormatFloat, 1},
                               {"1", kTxFormatFloat, 4}},
                              {"1/FLOAT", "x/ASCII"}},
                      AddCase{"EmptyTextIsNotKept", {Ascii("a"), Ascii("")}, {"a/ASCII"}}));

TEST(SendHistory, KeepsTheLast500AndMovesAnOldEntryWithoutGrowing) {
  SendHistory history;
  for (int i = 0; i < 600; ++i) history.Add(Ascii("cmd" + std::to_string(i)));
  ASSERT_EQ(history.Entries().size(), SendHistory::kMaxEntries);
  EXPECT_EQ(history.Entries().front().text, "cmd599");
  EXPECT_EQ(history.Entries().back().text, "cmd100");
  history.Add(Ascii("cmd100"));
  EXPECT_EQ(history.Entries().size(), SendHistory::kMaxEntries);
  EXPECT_EQ(history.Entries().front().text, "cmd100");
  EXPECT_EQ(history.Entries().back().text, "cmd101");
}

TEST(SendHistory, UpWalksTheEntriesHoldingTheDraftAndDownGivesItBack) {
  SendHistory history;
  for (const char* text : {"AT+CSQ", "ls", "at+cgmi", "reboot"}) history.Add(Ascii(text));
  HistoryWalk walk(history);
  const SendEntry draft{"aT", kTxFormatAscii};
  EXPECT_EQ(walk.Older(draft)->text, "at+cgmi");
  EXPECT_EQ(walk.Older(draft)->text, "AT+CSQ");
  EXPECT_FALSE(walk.Older(draft).has_value());  // the oldest match: the field stays
  EXPECT_EQ(walk.Newer()->text, "at+cgmi");
  EXPECT_EQ(walk.Newer()->text, "aT");
  EXPECT_FALSE(walk.Newer().has_value());
  walk.Reset();
  EXPECT_EQ(walk.Older(Ascii(""))->text, "reboot");  // nothing typed: every entry
}

TEST(HistoryFile, WhatIsSavedIsLoadedAsItWas) {
  TempDir dir;
  SendHistory history;
  history.Add({"01 02", kTxFormatHex, 2, true});
  history.Add(Ascii("  leading and trailing  "));
  history.Add(Ascii("\"quoted\" = \\0D\ttab"));
  history.Add(Ascii("\xC3\xA9t\xC3\xA9"));
  history.Add({"-1.5", kTxFormatFloat, 4, true});
  HistoryFile file(dir.path() / kHistoryFileName);
  ASSERT_EQ(file.Save(history), "");
  SendHistory loaded;
  const HistoryFile::Report report = HistoryFile(file.Path()).Load(loaded);
  EXPECT_EQ(report.message, "");
  EXPECT_EQ(loaded.Entries(), history.Entries());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "send-history.txt.new"));
}

struct DamageCase {
  const char* name;
  std::string content;
  std::vector<std::string> loaded;
  std::size_t damagedLines;
  std::size_t firstDamagedLine;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedHistory : public ::testing::TestWithParam<DamageCase> {};

// What can be read is read; the file itself is copied aside before the next
// save can replace it.
TEST_P(DamagedHistory, KeepsWhatItCanAndACopyOfTheFile) {
  const DamageCase& c = GetParam();
  TempDir dir;
  const std::filesystem::path path = dir.path() / kHistoryFileName;
  testing::WriteBytes(path.string(), {c.content.begin(), c.content.end()});
  HistoryFile file(path);
  SendHistory history;
  const HistoryFile::Report report = file.Load(history);
  EXPECT_EQ(Texts(history), c.loaded);
  EXPECT_EQ(report.damagedLines, c.damagedLines);
  EXPECT_EQ(report.firstDamagedLine, c.firstDamagedLine);
  if (c.damagedLines == 0) {
    EXPECT_EQ(report.message, "");
    EXPECT_TRUE(report.keptAs.empty());
    return;
  }
  EXPECT_NE(report.message.find(report.keptAs.string()), std::string::npos) << report.message;
  EXPECT_EQ(report.keptAs, dir.path() / "send-history.txt.damaged");
  const auto kept = testing::ReadBytes(report.keptAs.string());
  EXPECT_EQ(std::string(kept.begin(), kept.end()), c.content);
  history.Add(Ascii("new"));
  EXPECT_EQ(file.Save(history), "");
  // A second damaged load keeps the first copy and makes another.
  testing::WriteBytes(path.string(), {c.content.begin(), c.content.end()});
  EXPECT_EQ(HistoryFile(path).Load(history).keptAs, dir.path() / "send-history.txt.damaged-2");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedHistory,
    ::testing::Values(DamageCase{"Whole",
                                 "tarnwick-history = 1\r\nASCII = a\r\n# note\r\nDEC 2 = -5\r\n",
                                 {"a/ASCII", "-5/DEC 2"},
                                 0,
                                 0},
                      DamageCase{"UnknownFormat",
                                 "tarnwick-history = 1\nASCII = a\nHAX = 01\nBIN 1 = 101\n",
                                 {"a/ASCII", "101/BIN 1"},
                                 1,
                                 3},
                      DamageCase{"CutQuoteAndBadUtf8",
                                 "tarnwick-history = 1\nASCII = \"open\nASCII = b\nASCII = \xC3(\n",
                                 {"b/ASCII"},
                                 2,
                                 2},
                      DamageCase{"NoHeader", "ASCII = a\nASCII = b\n", {}, 2, 1},
                      DamageCase{"Binary",
                                 std::string("\x7F"
                                             "ELF\0\x01\x02",
                                             7),
                                 {},
                                 1,
                                 1}));

TEST(HistoryFile, AFileThatCannotBeReadIsNeverWrittenOver) {
  TempDir dir;
  const std::filesystem::path path = dir.path() / kHistoryFileName;
  std::filesystem::create_directory(path);  // something that is no history file
  std::filesystem::path inside = path / "keep";
  testing::WriteBytes(inside.string(), {'x'});
  HistoryFile file(path);
  SendHistory history;
  const HistoryFile::Report report = file.Load(history);
  EXPECT_NE(report.message.find("could not be read"), std::string::npos) << report.message;
  history.Add(Ascii("a"));
  EXPECT_NE(file.Save(history), "");
  EXPECT_TRUE(std::filesystem::exists(inside));
}

}  // namespace
}  // namespace tarnwick
