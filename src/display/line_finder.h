// Find over the screen's lines: every match of a pattern in the lines as
// shown, kept right while lines arrive and old ones drop. Lines are known by
// their sequence number (the count of lines placed before them since the
// start), so a match stays on its line whatever drops before it. The lines
// are read in short holds of the model's lock, a chunk at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct FindMatch {
  std::uint64_t nLine = 0;    // sequence number of the line
  std::uint32_t nColumn = 0;  // the cell of the shown line where the match starts
  std::uint32_t nCells = 0;   // the cells it takes
  friend bool operator==(const FindMatch&, const FindMatch&) = default;
  friend auto operator<=>(const FindMatch&, const FindMatch&) = default;
};

// What the finder reads: the held lines, by sequence number.
class FindSource {
 public:
  struct Held {
    std::uint64_t nFirst = 0;  // the oldest line held
    std::uint64_t nEnd = 0;    // one past the newest
  };
  // utf8: the line holds decoded text (UTF-8); otherwise its bytes are the
  // code page's.
  using Visitor = std::function<void(std::uint64_t line, std::string_view shown, bool utf8)>;
  virtual ~FindSource() = default;
  // Calls visit for the held lines from line `from` on (or from the oldest
  // held, if that is later), at most maxLines of them, oldest first, all in
  // one hold of the lines; returns what was held then.
  virtual Held VisitFrom(std::uint64_t from, std::size_t maxLines, const Visitor& visit) = 0;
};

// A pattern (UTF-8) and how it compares: case-insensitive (the letters of
// Windows-1252, Latin, Greek and Cyrillic) unless matchCase. Lines of the
// code page are searched for the pattern in the code page, which a pattern
// with a character the page lacks never matches; decoded lines in UTF-8.
class FindPattern {
 public:
  FindPattern() = default;
  FindPattern(std::string_view pattern, bool matchCase);
  bool Empty() const { return m_utf8.empty(); }
  // A match: the cell where it starts and the cells it takes.
  struct Found {
    std::uint32_t nColumn;
    std::uint32_t nCells;
  };
  // Appends the matches in text, left to right, none overlapping.
  void Search(std::string_view text, bool utf8, std::vector<Found>& found) const;

 private:
  std::string m_utf8;      // folded unless m_bMatchCase
  std::string m_codePage;  // the same in the code page
  bool m_bInCodePage = false;
  bool m_bMatchCase = false;
  mutable std::string m_folded;  // the line being searched, folded
};

class LineFinder {
 public:
  // Lines read per hold of the model's lock.
  static constexpr std::size_t kChunkLines = 512;

  enum class Step { kNone, kMoved, kWrapped };

  // Starts over with this pattern: no matches until the next Update.
  void SetPattern(std::string_view pattern, bool matchCase);
  const FindPattern& Pattern() const { return m_pattern; }
  // Reads every line again (the lines are shown differently now).
  void Rescan();

  // Brings the matches up to date: drops those whose lines were dropped,
  // reads the newest line again (it may have grown) and reads the new ones.
  void Update(FindSource& source);

  std::size_t Count() const { return m_matches.size() - m_nHead; }
  // The current match's place among them from 1, 0 when there is none.
  std::size_t CurrentNumber() const;
  std::optional<FindMatch> Current() const;
  // The next (previous) match after (before) the current one; with none
  // current, the first at or after (last at or before) line `from`. Past
  // the last (first) it wraps round.
  Step Next(std::uint64_t from);
  Step Previous(std::uint64_t from);
  // The matches on lines [first, end), in order.
  std::span<const FindMatch> MatchesIn(std::uint64_t first, std::uint64_t end) const;

 private:
  void DropBefore(std::uint64_t line);
  void TruncateFrom(std::uint64_t line);
  std::span<const FindMatch> All() const {
    return std::span<const FindMatch>(m_matches).subspan(m_nHead);
  }

  FindPattern m_pattern;
  // In order; those before m_nHead are gone (dropped in bulk now and then).
  std::vector<FindMatch> m_matches;
  std::size_t m_nHead = 0;
  // Lines before this one are read and will not change.
  std::uint64_t m_nNextLine = 0;
  std::optional<FindMatch> m_current;
  std::vector<FindPattern::Found> m_found;  // reused per line
};

}  // namespace tarnwick
