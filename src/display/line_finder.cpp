#include "display/line_finder.h"

#include <algorithm>
#include <array>

#include "display/cell_width.h"
#include "display/code_pages.h"

namespace tarnwick {
namespace {

// Lower case of each Windows-1252 byte: A-Z, the accented capitals (but not
// the multiplication sign), and S, OE, Z, Y with their marks.
constexpr std::array<char, 256> MakeFoldTable() {
  std::array<char, 256> fold{};
  for (int b = 0; b < 256; ++b) {
    int lower = b;
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) lower = b + 0x20;
    if (b == 0x8A || b == 0x8C || b == 0x8E) lower = b + 0x10;
    if (b == 0x9F) lower = 0xFF;
    fold[static_cast<std::size_t>(b)] = static_cast<char>(lower);
  }
  return fold;
}

constexpr std::array<char, 256> kFold = MakeFoldTable();

void Fold(std::string_view text, std::string& out) {
  out.resize(text.size());
  char* p = out.data();
  for (const char c : text) *p++ = kFold[static_cast<unsigned char>(c)];
}

// The lower case of a letter of two UTF-8 bytes, which is two bytes too.
char32_t FoldTwoByte(char32_t c) {
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c == 0x178) return 0xFF;
  // Latin Extended-A pairs its capitals with the next code, from an even
  // or an odd one by stretch.
  const bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((evenPairs && c % 2 == 0) || (oddPairs && c % 2 == 1)) return c + 1;
  return c;
}

// Folding keeps every character's length, so positions stay those of text.
void FoldUtf8(std::string_view text, std::string& out) {
  out.resize(text.size());
  char* p = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b < 0x80) {
      *p++ = kFold[b];
    } else if (b >= 0xC2 && b <= 0xDF && i + 1 < text.size() &&
               (static_cast<std::uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
      const char32_t c = FoldTwoByte(((b & 0x1Fu) << 6) | (text[i + 1] & 0x3F));
      p += AppendUtf8(c, p);
      ++i;
    } else {
      *p++ = text[i];
    }
  }
}

}  // namespace

FindPattern::FindPattern(std::string_view pattern, bool matchCase) : m_bMatchCase(matchCase) {
  std::string codePage;
  m_bInCodePage = !EncodeText(pattern, TextEncoding::kCp1252, codePage).has_value();
  if (matchCase) {
    m_utf8.assign(pattern);
    m_codePage = codePage;
  } else {
    FoldUtf8(pattern, m_utf8);
    Fold(codePage, m_codePage);
  }
}

void FindPattern::Search(std::string_view text, bool utf8, std::vector<Found>& found) const {
  if (!utf8 && !m_bInCodePage) return;
  const std::string_view pattern = utf8 ? m_utf8 : m_codePage;
  if (pattern.empty() || text.size() < pattern.size()) return;
  std::string_view haystack = text;
  if (!m_bMatchCase) {
    if (utf8) {
      FoldUtf8(text, m_folded);
    } else {
      Fold(text, m_folded);
    }
    haystack = m_folded;
  }
  const auto clamp = [](std::size_t n) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
  };
  // Cells are counted on from the last match: one walk of the line.
  std::size_t counted = 0;
  std::size_t cells = 0;
  const std::size_t patternCells = utf8 ? CellCount(pattern) : pattern.size();
  for (std::size_t at = haystack.find(pattern); at != std::string_view::npos;
       at = haystack.find(pattern, at + pattern.size())) {
    if (utf8) {
      cells += CellCount(text.substr(counted, at - counted));
      counted = at;
    }
    found.push_back(Found{clamp(utf8 ? cells : at), clamp(patternCells)});
  }
}

void LineFinder::SetPattern(std::string_view pattern, bool matchCase) {
  m_pattern = FindPattern(pattern, matchCase);
  m_current.reset();
  Rescan();
}

void LineFinder::Rescan() {
  m_matches.clear();
  m_nHead = 0;
  m_nNextLine = 0;
}

void LineFinder::DropBefore(std::uint64_t line) {
  const auto all = All();
  const auto kept = std::lower_bound(all.begin(), all.end(), FindMatch{line, 0});
  m_nHead += static_cast<std::size_t>(kept - all.begin());
  // The dropped part goes once it is the larger half: each match is moved
  // at most once per halving, however the lines scroll.
  if (m_nHead > m_matches.size() / 2) {
    m_matches.erase(m_matches.begin(), m_matches.begin() + static_cast<std::ptrdiff_t>(m_nHead));
    m_nHead = 0;
  }
}

void LineFinder::TruncateFrom(std::uint64_t line) {
  const auto all = All();
  const auto cut = std::lower_bound(all.begin(), all.end(), FindMatch{line, 0});
  m_matches.resize(m_nHead + static_cast<std::size_t>(cut - all.begin()));
}

void LineFinder::Update(FindSource& source) {
  if (m_pattern.Empty()) return;
  // The newest line read last time may have grown since: it is read again.
  TruncateFrom(m_nNextLine);
  std::uint64_t next = m_nNextLine;
  FindSource::Held held;
  for (;;) {
    std::uint64_t visited = next;
    held = source.VisitFrom(next, kChunkLines,
                            [&](std::uint64_t line, std::string_view shown, bool utf8) {
                              m_found.clear();
                              m_pattern.Search(shown, utf8, m_found);
                              for (const FindPattern::Found& f : m_found)
                                m_matches.push_back(FindMatch{line, f.nColumn, f.nCells});
                              visited = line + 1;
                            });
    // Lines numbered below what was read before mean the lines started
    // over: everything is read again.
    if (held.nEnd < m_nNextLine) {
      Rescan();
      next = 0;
      continue;
    }
    if (visited >= held.nEnd || visited == next) break;
    next = visited;
  }
  DropBefore(held.nFirst);
  // All but the newest line are final.
  m_nNextLine = held.nEnd > held.nFirst ? held.nEnd - 1 : held.nEnd;
  // The current match stays where it was; if its line went, or the newest
  // line changed under it, the next one takes its place.
  if (m_current) {
    const auto all = All();
    const auto at = std::lower_bound(all.begin(), all.end(), *m_current);
    if (at == all.end()) {
      m_current.reset();
    } else {
      m_current = *at;
    }
  }
}

std::size_t LineFinder::CurrentNumber() const {
  if (!m_current) return 0;
  const auto all = All();
  return static_cast<std::size_t>(std::lower_bound(all.begin(), all.end(), *m_current) -
                                  all.begin()) +
         1;
}

std::optional<FindMatch> LineFinder::Current() const { return m_current; }

LineFinder::Step LineFinder::Next(std::uint64_t from) {
  const auto all = All();
  if (all.empty()) return Step::kNone;
  const auto at = m_current ? std::upper_bound(all.begin(), all.end(), *m_current)
                            : std::lower_bound(all.begin(), all.end(), FindMatch{from, 0});
  if (at == all.end()) {
    m_current = all.front();
    return Step::kWrapped;
  }
  m_current = *at;
  return Step::kMoved;
}

LineFinder::Step LineFinder::Previous(std::uint64_t from) {
  const auto all = All();
  if (all.empty()) return Step::kNone;
  const auto at = m_current ? std::lower_bound(all.begin(), all.end(), *m_current)
                            : std::lower_bound(all.begin(), all.end(), FindMatch{from + 1, 0});
  if (at == all.begin()) {
    m_current = all.back();
    return Step::kWrapped;
  }
  m_current = *(at - 1);
  return Step::kMoved;
}

std::span<const FindMatch> LineFinder::MatchesIn(std::uint64_t first, std::uint64_t end) const {
  const auto all = All();
  const auto begin = std::lower_bound(all.begin(), all.end(), FindMatch{first, 0});
  const auto stop = std::lower_bound(begin, all.end(), FindMatch{end, 0});
  return all.subspan(static_cast<std::size_t>(begin - all.begin()),
                     static_cast<std::size_t>(stop - begin));
}

}  // namespace tarnwick
