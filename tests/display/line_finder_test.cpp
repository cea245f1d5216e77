#include "display/line_finder.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/follow_rule.h"

namespace tarnwick {
namespace {

// Lines by sequence number, as a ring that drops its oldest.
class RingSource : public FindSource {
 public:
  explicit RingSource(std::size_t rows) : m_rows(rows) {}
  // utf8: a decoded line.
  void Add(std::string line, bool utf8 = false) {
    m_lines.emplace_back(std::move(line), utf8);
    if (m_lines.size() > m_rows) {
      m_lines.pop_front();
      ++m_first;
    }
  }
  void AppendToLast(const std::string& text) { m_lines.back().first += text; }
  Held VisitFrom(std::uint64_t from, std::size_t maxLines, const Visitor& visit) override {
    ++visits;
    const std::uint64_t end = m_first + m_lines.size();
    for (std::uint64_t line = std::max(from, m_first); line < end && maxLines > 0;
         ++line, --maxLines) {
      const auto& [text, utf8] = m_lines[static_cast<std::size_t>(line - m_first)];
      visit(line, text, utf8);
    }
    return {m_first, end};
  }
  int visits = 0;

 private:
  std::size_t m_rows;
  std::deque<std::pair<std::string, bool>> m_lines;
  std::uint64_t m_first = 0;
};

std::vector<std::pair<std::uint64_t, std::uint32_t>> All(const LineFinder& finder) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> out;
  for (const FindMatch& m : finder.MatchesIn(0, UINT64_MAX)) out.emplace_back(m.nLine, m.nColumn);
  return out;
}

std::vector<std::uint32_t> Widths(const LineFinder& finder) {
  std::vector<std::uint32_t> out;
  for (const FindMatch& m : finder.MatchesIn(0, UINT64_MAX)) out.push_back(m.nCells);
  return out;
}

// Lines 0-5 in the code page, 6-8 decoded (UTF-8); columns count cells.
TEST(LineFinder, MatchesByCase) {
  const struct {
    const char* pattern;  // UTF-8, as the find bar gives it
    bool matchCase;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> matches;
    std::vector<std::uint32_t> widths;
  } cases[] = {
      {"err", false, {{0, 0}, {1, 3}, {2, 0}, {2, 6}}, {3, 3, 3, 3}},
      {"Err", true, {{1, 3}}, {3}},
      // Windows-1252 capitals fold in both kinds of line.
      {"\xC3\x89T\xC3\x89", false, {{3, 0}, {6, 2}}, {3, 3}},
      {"aa", false, {{4, 0}, {4, 2}}, {2, 2}},  // matches do not overlap
      // After two wide characters the match starts at cell 4 and takes two.
      {"\xE4\xB8\xAD", false, {{7, 2}}, {2}},
      {"ok", false, {{7, 4}}, {2}},
      // Cyrillic folds; the pattern has no bytes in the code page, so it
      // never matches a code-page line (not even "??").
      {"\xD0\xB4\xD0\x90", false, {{8, 0}}, {2}},
      {"?", false, {{5, 0}, {5, 1}, {8, 3}}, {1, 1, 1}},
      {"", false, {}, {}},
  };
  for (const auto& c : cases) {
    RingSource source(100);
    for (const char* line : {"ERR 1", "an Err", "error:error", "\xE9t\xE9", "aaaa", "??"}) {
      source.Add(line);
    }
    source.Add("\xC2\xB0 \xC3\xA9t\xC3\xA9", true);
    source.Add("\xE6\x97\xA5\xE4\xB8\xADOK", true);
    source.Add("\xD0\x94\xD0\xB0 ?", true);
    LineFinder finder;
    finder.SetPattern(c.pattern, c.matchCase);
    finder.Update(source);
    EXPECT_EQ(All(finder), c.matches) << c.pattern;
    EXPECT_EQ(Widths(finder), c.widths) << c.pattern;
  }
}

// Lines arrive, the newest grows and old ones drop: the matches, the
// current one and "n of m" follow, each update reading only new lines.
TEST(LineFinder, StaysRightWhileLinesArriveAndDrop) {
  RingSource source(3);
  LineFinder finder;
  finder.SetPattern("ok", false);
  source.Add("ok 0");
  source.Add("no");
  source.Add("o");
  finder.Update(source);
  EXPECT_EQ(finder.Next(0), LineFinder::Step::kMoved);
  EXPECT_EQ(finder.CurrentNumber(), 1u);
  source.AppendToLast("k");  // the newest line grows into a match
  source.Add("ok 3");        // drops line 0 and its match
  finder.Update(source);
  EXPECT_EQ(All(finder), (decltype(All(finder)){{2, 0}, {3, 0}}));
  ASSERT_TRUE(finder.Current());
  EXPECT_EQ(finder.Current()->nLine, 2u);  // the next match took the dropped one's place
  EXPECT_EQ(finder.Next(0), LineFinder::Step::kMoved);
  EXPECT_EQ(finder.CurrentNumber(), 2u);
  EXPECT_EQ(finder.Count(), 2u);
  EXPECT_EQ(finder.Next(0), LineFinder::Step::kWrapped);
  EXPECT_EQ(finder.Current()->nLine, 2u);
  EXPECT_EQ(finder.Previous(0), LineFinder::Step::kWrapped);
  EXPECT_EQ(finder.Current()->nLine, 3u);
  // Many lines come: they are read a chunk at a time, each once.
  RingSource big(1'000'000);
  for (int i = 0; i < 10'000; ++i) big.Add(i % 100 == 0 ? "x ok" : "x");
  finder.SetPattern("OK", false);
  finder.Update(big);
  EXPECT_EQ(finder.Count(), 100u);
  EXPECT_EQ(big.visits,
            static_cast<int>((10'000 + LineFinder::kChunkLines - 1) / LineFinder::kChunkLines));
}

// Where a step lands with matches on lines 2 and 5: with none current the
// line it starts from counts (Shift+F3 finds a match on the top line in
// sight); with one current the step moves past it.
TEST(LineFinder, AStepStartsAtItsLineOrPastTheCurrentMatch) {
  const struct {
    const char* name;
    std::optional<std::uint64_t> current;  // the line of the current match, set by a first step
    bool forward;
    std::uint64_t from;
    std::uint64_t lands;
    LineFinder::Step step;
  } cases[] = {
      {"Next from a match's line, none current", std::nullopt, true, 2, 2,
       LineFinder::Step::kMoved},
      {"Previous from a match's line, none current", std::nullopt, false, 5, 5,
       LineFinder::Step::kMoved},
      {"Next between the matches", std::nullopt, true, 3, 5, LineFinder::Step::kMoved},
      {"Previous between the matches", std::nullopt, false, 4, 2, LineFinder::Step::kMoved},
      {"Next past the current one", 2, true, 2, 5, LineFinder::Step::kMoved},
      {"Previous past the current one", 5, false, 5, 2, LineFinder::Step::kMoved},
      {"Next past the last wraps", 5, true, 5, 2, LineFinder::Step::kWrapped},
      {"Previous before the first wraps", 2, false, 2, 5, LineFinder::Step::kWrapped},
  };
  for (const auto& c : cases) {
    RingSource source(100);
    for (int i = 0; i < 7; ++i) source.Add(i == 2 || i == 5 ? "hit" : "line");
    LineFinder finder;
    finder.SetPattern("hit", false);
    finder.Update(source);
    if (c.current) {
      ASSERT_EQ(finder.Next(*c.current), LineFinder::Step::kMoved) << c.name;
      ASSERT_EQ(finder.Current()->nLine, *c.current) << c.name;
    }
    EXPECT_EQ(c.forward ? finder.Next(c.from) : finder.Previous(c.from), c.step) << c.name;
    ASSERT_TRUE(finder.Current()) << c.name;
    EXPECT_EQ(finder.Current()->nLine, c.lands) << c.name;
  }
}

// The follow rule as the view applies it: at the end it follows.
TEST(FollowRule, StopsWhenMovedAwayAndResumesAtTheEnd) {
  const struct {
    bool enabled;
    bool atEnd;  // where the user moved the view, in turn
    FollowRule::Change change;
    bool following;
  } steps[] = {
      {true, true, FollowRule::Change::kNone, true},
      {true, false, FollowRule::Change::kPaused, false},
      {true, false, FollowRule::Change::kNone, false},
      {true, true, FollowRule::Change::kResumed, true},
      {false, true, FollowRule::Change::kNone, false},
  };
  FollowRule rule(true);
  for (const auto& s : steps) {
    if (s.enabled != rule.Enabled()) rule.SetEnabled(s.enabled);
    EXPECT_EQ(rule.UserMoved(s.atEnd), s.change);
    EXPECT_EQ(rule.Following(), s.following);
    EXPECT_EQ(rule.Position(3, 10), s.following ? 10 : 3);
  }
  rule.SetEnabled(true);
  EXPECT_EQ(rule.Jumped(), FollowRule::Change::kPaused);
}

}  // namespace
}  // namespace tarnwick
