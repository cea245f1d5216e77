// Logs that start a new file: parts end exactly at the limit, inside a line
// if need be, are numbered after those already there, and together hold the
// stream once; the day rule starts a part at local midnight.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "display/log_rotation.h"
#include "display/output_file.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::TempDir;

struct SizeCase {
  const char* name;
  std::int64_t limit;
  std::vector<std::size_t> writes;  // the stream cut into Append calls
  int existingPart;                 // NAME.N left by an earlier capture (0: none)
  // The numbered parts written, in order, then the file being written.
  std::vector<std::pair<int, std::size_t>> parts;
};

class RotationBySize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RotationBySize, SplitsTheStreamAtTheLimitWithNothingLostOrTwice) {
  const SizeCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("raw.log");
  if (c.existingPart > 0) {
    testing::WriteBytes(path + "." + std::to_string(c.existingPart), {'o', 'l', 'd'});
  }
  // Lines of text, so most limits fall inside a line.
  std::vector<std::uint8_t> stream;
  std::size_t total = 0;
  for (std::size_t n : c.writes) total += n;
  for (std::size_t i = 0; stream.size() < total; ++i) {
    const std::string line = "line " + std::to_string(i) + "\r\n";
    stream.insert(stream.end(), line.begin(), line.end());
  }
  stream.resize(total);

  OutputFile log;
  log.SetRotation({c.limit, false});
  std::size_t at = 0;
  for (std::size_t n : c.writes) {
    ASSERT_TRUE(log.Append(path.c_str(), stream.data() + at, n));
    at += n;
  }

  std::vector<unsigned char> joined;
  for (std::size_t i = 0; i < c.parts.size(); ++i) {
    const auto [number, size] = c.parts[i];
    const std::string part = number == 0 ? path : path + "." + std::to_string(number);
    const std::vector<unsigned char> bytes = ReadBytes(part);
    EXPECT_EQ(bytes.size(), size) << part;
    joined.insert(joined.end(), bytes.begin(), bytes.end());
  }
  EXPECT_EQ(joined, std::vector<unsigned char>(stream.begin(), stream.end()));
  if (c.existingPart > 0) {
    EXPECT_EQ(ReadBytes(path + "." + std::to_string(c.existingPart)),
              (std::vector<unsigned char>{'o', 'l', 'd'}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, RotationBySize,
    ::testing::Values(
        // One write that crosses the limit twice, the cut inside "line 1".
        SizeCase{"OneWriteManyParts", 10, {25}, 0, {{1, 10}, {2, 10}, {0, 5}}},
        // A write that ends exactly at the limit rotates at the next byte.
        SizeCase{"ExactFit", 8, {8, 1}, 0, {{1, 8}, {0, 1}}},
        // Byte by byte, as a slow line delivers them.
        SizeCase{"ByteByByte", 3, {1, 1, 1, 1, 1, 1, 1}, 0, {{1, 3}, {2, 3}, {0, 1}}},
        // Numbers go on after the highest one there, never over it.
        SizeCase{"AfterEarlierParts", 6, {10}, 7, {{8, 6}, {0, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RotationByDay, StartsAPartAtTheFirstWriteAfterLocalMidnight) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  testing::WriteBytes(path, {'x'});
  std::FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  LogRotation rotation;
  rotation.SetPolicy({0, true});
#ifdef _WIN32
  rotation.Opened(_fileno(file));
#else
  rotation.Opened(fileno(file));
#endif
  std::fclose(file);
  const std::time_t now = std::time(nullptr);
  std::tm noon = *std::localtime(&now);
  noon.tm_hour = 12;
  noon.tm_min = 0;
  noon.tm_sec = 0;
  noon.tm_isdst = -1;
  std::tm nextDay = noon;
  nextDay.tm_mday += 1;
  nextDay.tm_hour = 0;
  nextDay.tm_sec = 1;
  // The file was written today: room for everything until midnight, none after.
  EXPECT_EQ(rotation.Room(100, std::mktime(&noon)), 100u);
  EXPECT_EQ(rotation.Room(100, std::mktime(&nextDay)), 0u);
}

TEST(ParseByteCount, TakesDigitsWithAnOptionalUnit) {
  const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
      {"1", 1},
      {"4096", 4096},
      {"64K", 64 * 1024},
      {" 10m ", 10 * 1024 * 1024},
      {"2G", std::int64_t{2} << 30},
      {"0", std::nullopt},
      {"-5", std::nullopt},
      {"+5", std::nullopt},
      {"5 K", std::nullopt},
      {"K", std::nullopt},
      {"12x", std::nullopt},
      {"", std::nullopt},
      {"9999999999G", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseByteCount(text), expected) << text;
}

}  // namespace
}  // namespace tarnwick
