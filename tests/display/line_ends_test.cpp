#include "display/line_ends.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

// Reads, in order, through one rule; each byte becomes 't' (text), '|'
// (ends a line) or '-' (dropped).
std::string Classify(const std::vector<std::string>& reads, std::int32_t mode) {
  LineEndRule rule;
  std::string out;
  for (const std::string& read : reads) {
    for (const char c : read) {
      switch (rule.Next(static_cast<std::uint8_t>(c), mode)) {
        case LineEndRule::Byte::kText:
          out += 't';
          break;
        case LineEndRule::Byte::kEndLine:
          out += '|';
          break;
        case LineEndRule::Byte::kDropped:
          out += '-';
          break;
      }
    }
  }
  return out;
}

TEST(LineEnds, WhichBytesEndALine) {
  const struct {
    const char* name;
    std::vector<std::string> reads;
    std::int32_t mode;
    const char* bytes;
  } cases[] = {
      {"CR: CR ends, LF dropped", {"a\r\nb\nc\r"}, kLineEndsCr, "t|-t-t|"},
      {"any: CR LF is one end", {"a\r\nb"}, kLineEndsAny, "t|-t"},
      {"any: LF alone ends", {"a\nb\n"}, kLineEndsAny, "t|t|"},
      {"any: CR alone ends", {"a\rb"}, kLineEndsAny, "t|t"},
      {"any: LF CR ends two", {"a\n\rb"}, kLineEndsAny, "t||t"},
      {"any: CR LF split across reads", {"a\r", "\nb"}, kLineEndsAny, "t|-t"},
      {"any: CR CR LF LF", {"\r\r\n\n"}, kLineEndsAny, "||-|"},
      {"any: text between CR and LF", {"\rx\n"}, kLineEndsAny, "|t|"},
  };
  for (const auto& c : cases) EXPECT_EQ(Classify(c.reads, c.mode), c.bytes) << c.name;
}

}  // namespace
}  // namespace tarnwick
