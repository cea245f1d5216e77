#include "transmit/field_reader.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/recording_message_boxes.h"

namespace tarnwick {
namespace {

using testing::RecordingMessageBoxes;

struct ScanCase {
  const char* text;
  std::optional<std::int32_t> value;
};

TEST(ScanInteger, ReadsLikePercentD) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  const ScanCase cases[] = {
      {"42", 42},
      {"  42", 42},
      {"\t\r\n\v\f7", 7},
      {"-7xyz", -7},
      {"+5", 5},
      {"1 2", 1},
      {"0x10", 0},
      {"007", 7},
      {"2147483647", kMax},
      {"-2147483648", kMin},
      {"2147483648", kMax},
      {"99999999999999999999999", kMax},
      {"-2147483649", kMin},
      {"-99999999999999999999999", kMin},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"abc", std::nullopt},
      {"-", std::nullopt},
      {"+-1", std::nullopt},
      {"- 1", std::nullopt},
      {"x12", std::nullopt},
  };
  for (const ScanCase& c : cases) EXPECT_EQ(ScanInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(ScanInteger, StopsAtAnEmbeddedZero) {
  EXPECT_EQ(ScanInteger(std::string_view("12\0"
                                         "34",
                                         5)),
            12);
}

TEST(FieldReader, FirstBadFieldStopsTheRestAndShowsOneBox) {
  RecordingMessageBoxes boxes;
  FieldReader reader(boxes);
  std::int32_t rows = 1, columns = 2, flag = 3, last = 4;
  EXPECT_TRUE(reader.Integer(" 25 rows", rows));
  EXPECT_FALSE(reader.Integer("many", columns));
  EXPECT_FALSE(reader.Value(9, flag));
  EXPECT_FALSE(reader.Integer("80", last));
  EXPECT_EQ(rows, 25);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(flag, 3);
  EXPECT_EQ(last, 4);
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.FailedField(), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Enter an integer.");
  EXPECT_EQ(boxes.shown[0].caption, "Tarnwick");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::kOk);
}

TEST(FieldReader, AllGoodFieldsAreTaken) {
  RecordingMessageBoxes boxes;
  FieldReader reader(boxes);
  std::int32_t a = 0, b = 0;
  std::string s;
  EXPECT_TRUE(reader.Value(std::string("text"), s));
  EXPECT_TRUE(reader.Integer("-3", a));
  EXPECT_TRUE(reader.Integer("+8kb", b));
  EXPECT_EQ(s, "text");
  EXPECT_EQ(a, -3);
  EXPECT_EQ(b, 8);
  EXPECT_FALSE(reader.Failed());
  EXPECT_EQ(reader.FailedField(), -1);
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace tarnwick
