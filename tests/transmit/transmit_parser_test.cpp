#include "transmit/transmit_parser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/recording_message_boxes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::RecordingMessageBoxes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<unsigned char>;

Bytes Result(const TransmitParser& parser) {
  return Bytes(parser.m_pBuffer, parser.m_pBuffer + parser.m_nDataLength);
}

struct ParseCase {
  const char* name;
  std::int32_t format;
  std::int32_t unitIndex;
  std::int32_t reverse;
  std::string text;
  Bytes bytes;               // expected result when no box is expected
  std::string boxText = "";  // with boxCaption empty: the parse succeeds
  std::string boxCaption = "";
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseInputTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseInputTable, GivesBytesOrTheExactBox) {
  const ParseCase& c = GetParam();
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_nFormat = c.format;
  parser.m_nUnitIndex = c.unitIndex;
  parser.m_bReverse = c.reverse;
  parser.m_strText = c.text;
  const bool ok = parser.ParseInput();
  if (c.boxCaption.empty()) {
    EXPECT_TRUE(ok);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(Result(parser), c.bytes);
  } else {
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.boxText);
    EXPECT_EQ(boxes.shown[0].caption, c.boxCaption);
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kError);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::kOk);
  }
}

constexpr const char* kSend = "Send";
constexpr const char* kBinBad = "Incorrect token !";
constexpr const char* kDecBad = "Incorrect string";
constexpr const char* kDecBig = "Token size greater that limit !";
constexpr const char* kFloatBad = "Incorrect token";

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseInputTable,
    ::testing::Values(
        ParseCase{"HexLinesAreSeparators", 1, 0, 0, "41 42\r\n43", {0x41, 0x42, 0x43}},
        ParseCase{"HexThreeDigitsInOneByte", 1, 0, 0, "123", {}, "Invalid data size", kSend},
        ParseCase{"HexBadDigit", 1, 0, 0, "12 3G", {}, "Incorrect string", kSend},
        ParseCase{"HexTabIsNoSeparator", 1, 0, 0, "1\t2", {}, "Incorrect string", kSend},
        ParseCase{"HexSizeCheckedBeforeDigit", 1, 0, 0, "12G", {}, "Invalid data size", kSend},
        ParseCase{"HexLimitIsOnDigits", 1, 1, 0, "00001", {}, "Invalid data size", kSend},
        ParseCase{"HexShortFillsLowEnd", 1, 1, 0, "A", {0x00, 0x0A}},
        ParseCase{"HexShortFillsLowEndReversed", 1, 1, 1, "A", {0x0A, 0x00}},
        ParseCase{"HexTwoByteUnits", 1, 1, 0, "1 2 3", {0, 1, 0, 2, 0, 3}},
        ParseCase{"HexTwoByteUnitsReversed", 1, 1, 1, "1 2 3", {1, 0, 2, 0, 3, 0}},
        ParseCase{"HexBothCases", 1, 3, 0, "aBcDeF01", {0xAB, 0xCD, 0xEF, 0x01}},
        ParseCase{"HexThreeByteUnit", 1, 2, 1, "123456", {0x56, 0x34, 0x12}},
        ParseCase{"HexCommaIsPartOfToken", 1, 0, 0, "1,2", {}, "Incorrect string", kSend},
        ParseCase{"BinEightOnes", 2, 0, 0, "11111111", {0xFF}},
        ParseCase{"BinNineOnes", 2, 0, 0, "111111111", {}, "111111111", kBinBad},
        ParseCase{"BinBadDigitMidToken", 2, 0, 0, "1021", {}, "102", kBinBad},
        ParseCase{"BinBadFirstDigit", 2, 0, 0, "2", {}, "2", kBinBad},
        ParseCase{"BinLetterIsNoDigit", 2, 0, 0, "1 0a", {}, "0a", kBinBad},
        ParseCase{"BinSixteenBits", 2, 1, 0, "1000000000000001", {0x80, 0x01}},
        ParseCase{
            "BinSeventeenBits", 2, 1, 0, "10000000000000010", {}, "10000000000000010", kBinBad},
        ParseCase{"DecBothSigns", 3, 0, 0, "127 -127", {0x7F, 0x81}},
        ParseCase{"DecOneByteTooBig", 3, 0, 0, "128", {}, "128", kDecBig},
        ParseCase{"DecOneByteMinimumRefused", 3, 0, 0, "-128", {}, "-128", kDecBig},
        ParseCase{"DecMinusThenSpace", 3, 0, 0, "- 5", {}, "- ", kDecBad},
        ParseCase{"DecMinusLast", 3, 0, 0, "1 -", {}, "-", kDecBad},
        ParseCase{"DecMinusInside", 3, 0, 0, "5-3", {}, "5-", kDecBad},
        ParseCase{"DecMinusThenLineBreak", 3, 0, 0, "-\r\n", {}, "-\r", kDecBad},
        ParseCase{"DecLettersAreNoDigits", 3, 0, 0, "1a", {}, "1a", kDecBad},
        ParseCase{"DecDoubleMinus", 3, 0, 0, "--1", {}, "--", kDecBad},
        ParseCase{"DecTooBigStopsAtThatDigit", 3, 0, 0, "1289", {}, "128", kDecBig},
        ParseCase{"DecFourBytesNoWrapAround", 3, 3, 0, "4294967300", {}, "4294967300", kDecBig},
        ParseCase{"DecFourBytesMaximum", 3, 3, 0, "2147483647", {0x7F, 0xFF, 0xFF, 0xFF}},
        ParseCase{"DecFourBytesMinimumRefused", 3, 3, 0, "-2147483648", {}, "-2147483648", kDecBig},
        ParseCase{"DecFourBytesNegative", 3, 3, 0, "-2147483647", {0x80, 0x00, 0x00, 0x01}},
        ParseCase{"DecLeadingZeros", 3, 0, 0, "0000000127", {0x7F}},
        ParseCase{"DecMinusOneTwoBytes", 3, 1, 0, "-1", {0xFF, 0xFF}},
        ParseCase{
            "DecThreeByteLimit", 3, 2, 1, "8388607 -8388607", {0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80}},
        ParseCase{"DecThreeByteTooBig", 3, 2, 0, "8388608", {}, "8388608", kDecBig},
        ParseCase{"DecTwoByteTooBig", 3, 1, 0, "-32768", {}, "-32768", kDecBig},
        ParseCase{"AsciiEscapes", 0, 0, 0, "A\\0D\\0A", {0x41, 0x0D, 0x0A}},
        ParseCase{"AsciiShortEscapeIsLiteral", 0, 0, 0, "\\4", {0x5C, 0x34}},
        ParseCase{"AsciiTrailingBackslash", 0, 0, 0, "ab\\", {0x61, 0x62, 0x5C}},
        ParseCase{"AsciiBackslashOneAfter", 0, 0, 0, "x\\4", {0x78, 0x5C, 0x34}},
        ParseCase{"AsciiSpacesAreData", 0, 3, 1, "   ", {0x20, 0x20, 0x20}},
        ParseCase{"AsciiLowerCaseEscape", 0, 0, 0, "\\ff\\0d", {0xFF, 0x0D}},
        ParseCase{"AsciiLineBreakIsData", 0, 0, 0, "a\r\nb", {0x61, 0x0D, 0x0A, 0x62}},
        // Unvalidated escapes: 'H' -> 0x48-7 = 0x41; 'z' -> 0x5A-7 = 0x53; ' ' - 0x30
        // wraps to 0xF0; a backslash 0x5C-7 = 0x55.
        ParseCase{"AsciiEscapeNotValidated", 0, 0, 0, "\\H1", {0x11}},
        ParseCase{"AsciiEscapeLowerLetterPastF", 0, 0, 0, "\\0z", {0x23}},
        ParseCase{"AsciiEscapeLowNibbleWraps", 0, 0, 0, "\\1 ", {0xF0}},
        ParseCase{"AsciiDoubledBackslash", 0, 0, 0, "\\\\41", {0x54, 0x31}},
        ParseCase{"AsciiHighBytesEscape", 0, 0, 0, "\\\xE9\x01", {0xF1}},
        ParseCase{"FloatSwitchesToFourBytes", 4, 0, 0, "1 -2", {0x3F, 0x80, 0, 0, 0xC0, 0, 0, 0}},
        ParseCase{"FloatReversed", 4, 3, 1, "1", {0, 0, 0x80, 0x3F}},
        ParseCase{"FloatLeadingPartOnly", 4, 3, 0, "2.5V", {0x40, 0x20, 0, 0}},
        ParseCase{"FloatExponent", 4, 3, 0, "1e3", {0x44, 0x7A, 0, 0}},
        ParseCase{"FloatNothingConverted", 4, 3, 0, "1 ,5", {}, ",5", kFloatBad},
        ParseCase{"FloatWholeTokenInBox", 4, 3, 0, "x1.5y", {}, "x1.5y", kFloatBad},
        ParseCase{"OnlySeparatorsHex", 1, 0, 0, " \r\n  ", {}},
        ParseCase{"OnlySeparatorsBin", 2, 0, 0, "\r\n", {}},
        ParseCase{"OnlySeparatorsDec", 3, 0, 0, "  ", {}},
        ParseCase{"OnlySeparatorsFloat", 4, 0, 0, " \n", {}},
        ParseCase{"EmptyTextNoFormat", -1, 0, 0, "", {}},
        ParseCase{"EmptyTextFloat", 4, 0, 0, "", {}},
        ParseCase{"NoFormatSelected",
                  -1,
                  0,
                  0,
                  "41",
                  {},
                  "Select data format to interpret text input",
                  "Invalid format"},
        ParseCase{"FormatPastList",
                  5,
                  0,
                  0,
                  "41",
                  {},
                  "Select data format to interpret text input",
                  "Invalid format"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseInput, FloatMovesLengthToFourAndAsksForARefresh) {
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  int refreshes = 0;
  std::int32_t indexSeen = -1;
  parser.SetShowMembers([&] {
    ++refreshes;
    indexSeen = parser.m_nUnitIndex;
  });
  parser.m_nFormat = kTxFormatFloat;
  parser.m_strText = "oops";
  EXPECT_FALSE(parser.ParseInput());
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(indexSeen, 3);
  EXPECT_EQ(parser.m_nUnitIndex, 3);  // stays at 4 bytes after the failure
  parser.m_strText = "1";
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(refreshes, 1);  // already 4 bytes: nothing to refresh
  parser.m_nUnitIndex = 4;  // no list entry: put right as well
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(parser.m_nUnitIndex, 3);
  EXPECT_EQ(refreshes, 2);
}

TEST(ParseInput, FailedParseKeepsTheUnitsAlreadyAppendedButStartsOverNextTime) {
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_nFormat = kTxFormatHex;
  parser.m_strText = "01 02 XX";
  EXPECT_FALSE(parser.ParseInput());
  EXPECT_EQ(parser.m_nDataLength, 2);
  parser.m_strText = "07";
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(Result(parser), (Bytes{0x07}));
}

TEST(ParseInput, UnitIndexOutsideTheListStaysWithinOneToFourBytes) {
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_nFormat = kTxFormatHex;
  parser.m_strText = "12";
  parser.m_nUnitIndex = -1;
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(Result(parser), (Bytes{0x12}));
  parser.m_nUnitIndex = 7;
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(Result(parser), (Bytes{0, 0, 0, 0x12}));
}

// ---- The block ----

std::string HexUnits(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i % 2 ? "A5 " : "5A ");
  return text;
}

TEST(TransmitBlock, StartsAt1024AndGrowsToExactlyWhatIsNeeded) {
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  EXPECT_EQ(parser.m_nCapacity, 1024u);
  parser.m_nFormat = kTxFormatHex;
  parser.m_strText = HexUnits(1024);
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_EQ(parser.m_nCapacity, 1024u);
  parser.m_nUnitIndex = 1;
  parser.m_strText = HexUnits(700);
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_EQ(parser.m_nCapacity, 1400u);
  parser.m_nFormat = kTxFormatAscii;
  parser.m_strText = std::string(3001, 'x');
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_EQ(parser.m_nCapacity, 3001u);
  parser.m_strText = "short";  // never shrinks
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_EQ(parser.m_nCapacity, 3001u);
  EXPECT_EQ(Result(parser), (Bytes{'s', 'h', 'o', 'r', 't'}));
}

TEST(TransmitBlock, RefusedEnlargementKeepsThePreviousBlockUsable) {
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.SetMaxCapacity(1500);
  parser.m_nFormat = kTxFormatHex;
  parser.m_strText = HexUnits(1501);
  EXPECT_FALSE(parser.ParseInput());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Can not allocate memory !");
  EXPECT_EQ(boxes.shown[0].caption, "FAILED");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kError);
  EXPECT_EQ(parser.m_nCapacity, 1500u);
  EXPECT_EQ(parser.m_nDataLength, 1500);  // every byte written stayed inside the block
  EXPECT_EQ(parser.m_pBuffer[1499], 0xA5);

  parser.m_nFormat = kTxFormatAscii;
  parser.m_strText = std::string(1501, 'y');
  EXPECT_FALSE(parser.ParseInput());
  EXPECT_EQ(boxes.shown.size(), 2u);
  parser.m_strText = "ok";
  EXPECT_TRUE(parser.ParseInput());
  EXPECT_EQ(Result(parser), (Bytes{'o', 'k'}));
}

// ---- The file branch ----

TEST(ParseFile, LoadsTheWholeFileIgnoringTextAndFormat) {
  TempDir dir;
  Bytes content(3000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 7);
  WriteBytes(dir.File("data.bin"), content);
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_bSendFile = 1;
  parser.m_strFilePath = dir.File("data.bin");
  parser.m_nFormat = 99;
  parser.m_strText = "File: whatever";
  ASSERT_TRUE(parser.ParseInput());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(Result(parser), content);
  EXPECT_EQ(parser.m_nCapacity, 3000u);
}

struct FileCase {
  const char* name;
  enum { kMissing, kEmpty, kDirectory, kNotSelected } kind;
  const char* caption;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class ParseFileFailures : public ::testing::TestWithParam<FileCase> {};

TEST_P(ParseFileFailures, ShowThePathWithTheCaption) {
  TempDir dir;
  std::string path = dir.File("thing");
  switch (GetParam().kind) {
    case FileCase::kMissing:
      break;
    case FileCase::kEmpty:
      WriteBytes(path, {});
      break;
    case FileCase::kDirectory:
      std::filesystem::create_directory(path);
      break;
    case FileCase::kNotSelected:
      path = "Not selected";
      break;
  }
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_bSendFile = 1;
  if (GetParam().kind != FileCase::kNotSelected) parser.m_strFilePath = path;
  EXPECT_FALSE(parser.ParseInput());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, path);
  EXPECT_EQ(boxes.shown[0].caption, GetParam().caption);
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kError);
  EXPECT_TRUE(boxes.shown[0].path);  // the file system's bytes, not display text
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseFileFailures,
    ::testing::Values(FileCase{"Missing", FileCase::kMissing, "Can not open file !"},
                      FileCase{"Empty", FileCase::kEmpty, "NULL FILE !"},
                      FileCase{"Directory", FileCase::kDirectory, "Can not open file !"},
                      FileCase{"NotSelected", FileCase::kNotSelected, "Can not open file !"}),
    [](const auto& info) { return std::string(info.param.name); });

#ifndef _WIN32
// Opening a FIFO for reading waits for a writer: the dialog must not hang on it.
TEST(ParseFile, FifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string path = dir.File("fifo");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_bSendFile = 1;
  parser.m_strFilePath = path;
  auto parsed = std::async(std::launch::async, [&] { return parser.ParseInput(); });
  if (parsed.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
    const int writer = ::open(path.c_str(), O_WRONLY);  // releases the blocked open
    parsed.wait();
    if (writer >= 0) ::close(writer);
    FAIL() << "ParseInput blocked on the FIFO";
  }
  EXPECT_FALSE(parsed.get());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, path);
  EXPECT_EQ(boxes.shown[0].caption, "Can not open file !");
}
#endif

#ifndef _WIN32
// A file that opens and has a size but whose read fails (sysfs refuses to
// read the loopback device's link speed): neither the old block nor a wrong
// "NULL FILE !" may come of it.
TEST(ParseFile, AFailingReadIsAFileThatCannotBeRead) {
  const std::string path = "/sys/class/net/lo/speed";
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  const bool fails = probe != nullptr && std::fgetc(probe) == EOF && std::ferror(probe);
  if (probe != nullptr) std::fclose(probe);
  if (!fails) GTEST_SKIP() << "no file here whose read fails";
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_bSendFile = 1;
  parser.m_strFilePath = path;
  EXPECT_FALSE(parser.ParseInput());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "Can not open file !");
}
#endif

TEST(ParseFile, FileLargerThanTheBlockCanGrowIsRefusedAndOldBlockKept) {
  TempDir dir;
  WriteBytes(dir.File("big.bin"), Bytes(5000, 0xEE));
  RecordingMessageBoxes boxes;
  TransmitParser parser(boxes);
  parser.m_strText = "AB";
  ASSERT_TRUE(parser.ParseInput());
  const std::uint8_t* before = parser.m_pBuffer;
  parser.SetMaxCapacity(4096);
  parser.m_bSendFile = 1;
  parser.m_strFilePath = dir.File("big.bin");
  EXPECT_FALSE(parser.ParseInput());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Can not allocate memory !");
  EXPECT_EQ(boxes.shown[0].caption, "FAILED");
  EXPECT_EQ(parser.m_pBuffer, before);
  EXPECT_EQ(parser.m_nCapacity, 1024u);
  EXPECT_EQ(std::memcmp(parser.m_pBuffer, "AB", 2), 0);
}

// Sparse files: the length is what counts, no disk space or memory is used.
TEST(ParseFile, FilesPastThe32BitLengthAreRefusedWithoutAllocating) {
  TempDir dir;
  for (std::uintmax_t size : {std::uintmax_t{3} << 30, (std::uintmax_t{4} << 30) + 10}) {
    const std::string path = dir.File("huge.bin");
    WriteBytes(path, {1});
    std::filesystem::resize_file(path, size);
    RecordingMessageBoxes boxes;
    TransmitParser parser(boxes);
    parser.m_bSendFile = 1;
    parser.m_strFilePath = path;
    EXPECT_FALSE(parser.ParseInput());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Can not allocate memory !");
    EXPECT_EQ(boxes.shown[0].caption, "FAILED");
    EXPECT_EQ(parser.m_nCapacity, 1024u);
  }
}

}  // namespace
}  // namespace tarnwick
