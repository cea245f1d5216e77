// The frame rules, each fed whole, split at every byte boundary and one byte
// at a time: the same frames come out however the reads fall.
#include "frames/rule_framer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "frames/frame_rules_text.h"
#include "frames/frames_test_support.h"

namespace tarnwick {
namespace {

using testing::At;
using testing::CollectingSink;
using testing::Cut;
using testing::FromHex;

constexpr FrameCut kWhole = FrameCut::kComplete;
constexpr FrameCut kShort = FrameCut::kIncomplete;
constexpr FrameCut kLong = FrameCut::kTooLong;

FrameRules Rules(const std::string& text) {
  const ParsedFrameRules parsed = ParseFrameRules(text);
  EXPECT_TRUE(parsed.rules) << text << ": " << parsed.error;
  return parsed.rules.value_or(FrameRules{});
}

// The frames of stream read in pieces ending at cuts, then the end of the stream.
std::vector<Cut> Frames(const FrameRules& rules, const testing::Bytes& stream,
                        const std::vector<std::size_t>& ends) {
  RuleFramer framer(rules, LineDirection::kReceived);
  CollectingSink sink;
  std::size_t from = 0;
  for (const std::size_t end : ends) {
    framer.Feed(std::span<const std::uint8_t>(stream).subspan(from, end - from), At(0), sink);
    from = end;
  }
  framer.Flush(sink);
  // Each frame's bytes lie where its offset says.
  for (const Cut& cut : sink.cuts) {
    const testing::Bytes bytes = FromHex(cut.hex);
    EXPECT_TRUE(cut.offset + bytes.size() <= stream.size() &&
                std::equal(bytes.begin(), bytes.end(), stream.begin() + cut.offset))
        << cut << " at " << cut.offset;
  }
  return sink.cuts;
}

TEST(RuleFramer, EveryRuleCutsTheSameFramesWhereverReadsSplitTheStream) {
  const struct {
    const char* rules;
    const char* stream;
    std::vector<Cut> frames;
  } cases[] = {
      // Bytes before the start belong to no frame; the stream ends mid-frame.
      {"start=A55A fixed=6",
       "00 A5 5A 01 02 03 04 A5 5A 05",
       {{"00", kShort}, {"A5 5A 01 02 03 04", kWhole}, {"A5 5A 05", kShort}}},
      // Nothing between two delimiters is no frame.
      {"end=0D0A",
       "41 0D 0A 0D 0A 42 0D 43 0D 0A 44",
       {{"41 0D 0A", kWhole}, {"42 0D 43 0D 0A", kWhole}, {"44", kShort}}},
      // A start before the end cuts a frame short.
      {"start=24|21 end=0A",
       "24 41 0A 21 42 24 43 0A",
       {{"24 41 0A", kWhole}, {"21 42", kShort}, {"24 43 0A", kWhole}}},
      // Without an end, the next start ends a frame; two starts in a row make none.
      {"start=24", "24 01 02 24 24 03", {{"24 01 02", kWhole}, {"24 03", kWhole}}},
      {"length-at=1 length-size=1",
       "7E 02 AA BB 7E 00 7E 01",
       {{"7E 02 AA BB", kWhole}, {"7E 00", kWhole}, {"7E 01", kShort}}},
      // The payload's length: the field, then payload and a 2-byte check.
      {"start=AA length-at=1 length-size=2 length-order=le length-counts=payload "
       "check=crc16-xmodem",
       "AA 01 00 55 12 34 AA 00 00 66 77",
       {{"AA 01 00 55 12 34", kWhole}, {"AA 00 00 66 77", kWhole}}},
      {"length-size=1 length-counts=frame length-adjust=1",
       "03 AA BB CC 01 DD",
       {{"03 AA BB CC", kWhole}, {"01 DD", kWhole}}},
      // A length shorter than its own field: garbled, cut at once.
      {"length-size=1 length-counts=frame",
       "00 02 01 03 01 02",
       {{"00", kShort}, {"02 01", kWhole}, {"03 01 02", kWhole}}},
      {"length-size=4 length-order=be",
       "00 00 00 01 AA 00 00 00 00",
       {{"00 00 00 01 AA", kWhole}, {"00 00 00 00", kWhole}}},
      {"encoding=cobs",
       "00 03 11 22 00 00 01 00 05",
       {{"03 11 22 00", kWhole}, {"01 00", kWhole}, {"05", kShort}}},
      {"encoding=slip", "C0 01 DB DC C0 C0 02 C0", {{"01 DB DC C0", kWhole}, {"02 C0", kWhole}}},
      // Past the maximum: cut, and the rest of the frame is too long too.
      {"end=0A max=4",
       "01 02 03 04 05 06 0A 07 0A",
       {{"01 02 03 04", kLong}, {"05 06 0A", kLong}, {"07 0A", kWhole}}},
      {"encoding=cobs max=3",
       "01 01 01 01 00 02 AA 00",
       {{"01 01 01", kLong}, {"01 00", kLong}, {"02 AA 00", kWhole}}},
      // Outside any frame for longer than the maximum: what cannot begin a
      // start goes at once.
      {"start=A55A end=0A max=4",
       "01 02 A5 A5 5A 01 0A",
       {{"01 02 A5", kShort}, {"A5 5A 01 0A", kWhole}}},
  };
  for (const auto& c : cases) {
    const FrameRules rules = Rules(c.rules);
    const testing::Bytes stream = FromHex(c.stream);
    // The text form reads back as the same rules.
    EXPECT_EQ(ParseFrameRules(FrameRulesText(rules)).rules, rules) << c.rules;
    EXPECT_EQ(Frames(rules, stream, {stream.size()}), c.frames) << c.rules;
    for (std::size_t split = 1; split < stream.size(); ++split)
      EXPECT_EQ(Frames(rules, stream, {split, stream.size()}), c.frames)
          << c.rules << " split " << split;
    std::vector<std::size_t> bytewise;
    for (std::size_t end = 1; end <= stream.size(); ++end) bytewise.push_back(end);
    EXPECT_EQ(Frames(rules, stream, bytewise), c.frames) << c.rules << " byte by byte";
  }
}

TEST(RuleFramer, ASilenceEndsAFrameAtTheNextReadOrAtATick) {
  struct Step {
    std::int64_t ms;
    const char* bytes;  // nullptr: a tick at ms
  };
  const struct {
    const char* rules;
    std::vector<Step> steps;
    std::vector<Cut> frames;            // with the times of their first and last byte
    std::optional<std::int64_t> dueMs;  // TickDue after the steps
  } cases[] = {
      {"silence-ms=10",
       {{0, "01 02"}, {5, "03"}, {20, "04"}, {29, nullptr}},
       {{"01 02 03", kWhole, 0, 5}},
       30},
      {"silence-ms=10", {{0, "01"}, {10, nullptr}}, {{"01", kWhole, 0, 0}}, std::nullopt},
      // A silence before a frame's length is in: incomplete.
      {"start=AA fixed=4 silence-ms=10",
       {{0, "AA 01"}, {50, "AA 02 03 04"}},
       {{"AA 01", kShort, 0, 0}, {"AA 02 03 04", kWhole, 50, 50}},
       std::nullopt},
      {"end=0A silence-ms=10",
       {{0, "01 0A 02"}, {3, "03"}, {13, nullptr}},
       {{"01 0A", kWhole, 0, 0}, {"02 03", kShort, 0, 3}},
       std::nullopt},
      // Pauses shorter than the silence join reads into one frame.
      {"silence-ms=10", {{0, "01"}, {9, "02"}, {18, "03"}}, {}, 28},
  };
  for (const auto& c : cases) {
    RuleFramer framer(Rules(c.rules), LineDirection::kReceived);
    CollectingSink sink;
    for (const Step& step : c.steps) {
      if (step.bytes == nullptr) {
        framer.Tick(At(step.ms).steady, sink);
      } else {
        framer.Feed(FromHex(step.bytes), At(step.ms), sink);
      }
    }
    EXPECT_EQ(sink.cuts, c.frames) << c.rules;
    const auto due = framer.TickDue();
    EXPECT_EQ(due.has_value(), c.dueMs.has_value()) << c.rules;
    if (due && c.dueMs) {
      EXPECT_EQ(*due, At(*c.dueMs).steady) << c.rules;
    }
  }
}

TEST(FrameRulesText, RulesThatCannotCutFramesAreRefusedWithAReason) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "No rule ends a frame: give a start or end pattern, a length or a silence."},
      {"end=0A colour=red", "Unknown frame rule \"colour\"."},
      {"end=0A end=0D", "The rule \"end\" is given twice."},
      {"end=0A0", "Bad value \"0A0\" for \"end\"."},
      {"start=24|", "Bad value \"24|\" for \"start\"."},
      {"fixed=-4", "Bad value \"-4\" for \"fixed\"."},
      {"fixed=8 end=0A",
       "An end pattern and a length cannot both end frames; count the end bytes in the length's "
       "adjustment."},
      {"encoding=slip start=C0",
       "COBS and SLIP frames end at their delimiter; start, end and length rules do not apply to "
       "them."},
      {"length-size=3", "A length field is 1, 2 or 4 bytes."},
      {"fixed=10 max=8", "The fixed length must be 1 to the maximum length."},
      {"silence-ms=60001", "The silence must be 0 to 60000 ms."},
      {"end=0A check=crc7", "Bad value \"crc7\" for \"check\"."},
  };
  for (const auto& c : cases) {
    const ParsedFrameRules parsed = ParseFrameRules(c.text);
    EXPECT_FALSE(parsed.rules) << c.text;
    EXPECT_EQ(parsed.error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick
