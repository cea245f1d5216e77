#include "transmit/text_wait.h"

#include "transmit/macro.h"

namespace tarnwick {
namespace {

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// The library's own texts differ from one library to the next.
std::string RegexProblem(const std::regex_error& error) {
  namespace rc = std::regex_constants;
  switch (error.code()) {
    case rc::error_paren:
      return "a parenthesis is not closed";
    case rc::error_brack:
      return "a bracket is not closed";
    case rc::error_brace:
      return "a brace is not closed";
    case rc::error_badbrace:
      return "a count in braces is not valid";
    case rc::error_range:
      return "a character range is not valid";
    case rc::error_escape:
      return "an escape is not valid";
    case rc::error_badrepeat:
      return "*, + or ? follows nothing";
    case rc::error_backref:
      return "back-references (\\1) are not supported in a wait";
    case rc::error_complexity:
    case rc::error_space:
    case rc::error_stack:
      return "it is too complex";
    default:
      return error.what();
  }
}

}  // namespace

std::regex TextWait::Compile(std::string_view pattern) {
  auto flags = std::regex::ECMAScript | std::regex::multiline;
#ifdef __GLIBCXX__
  // The automaton is run breadth first: time grows with the text times the
  // pattern, never exponentially, whatever the pattern. It refuses
  // back-references, which need backtracking.
  flags |= std::regex_constants::__polynomial;
#endif
  return std::regex(pattern.begin(), pattern.end(), flags);
}

std::string TextWait::Check(std::string_view pattern, bool regex) {
  if (pattern.empty()) return "the text to wait for is empty";
  if (pattern.size() > MacroSet::kMaxPatternBytes)
    return "the text to wait for is longer than " + std::to_string(MacroSet::kMaxPatternBytes) +
           " bytes";
  if (!regex) return {};
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == '\\') {
      if (pattern[i + 1] >= '1' && pattern[i + 1] <= '9')
        return "back-references (\\1) are not supported in a wait";
      ++i;
    }
  }
  try {
    Compile(pattern);
  } catch (const std::regex_error& error) {
    return "the regular expression does not compile: " + RegexProblem(error);
  }
  return {};
}

TextWait::TextWait(std::string pattern, bool regex) : m_strPattern(std::move(pattern)) {
  if (regex) m_regex = Compile(m_strPattern);
}

bool TextWait::Feed(std::string_view text, std::string* rest) {
  if (text.empty()) return false;
  m_strSeen.append(text);
  if (!m_regex) {
    const std::size_t at = m_strSeen.find(m_strPattern);
    if (at != std::string::npos) {
      *rest = m_strSeen.substr(at + m_strPattern.size());
      return true;
    }
    // Only the last pattern-length-minus-one bytes can begin a match.
    const std::size_t keep = m_strPattern.size() - 1;
    if (m_strSeen.size() > keep) m_strSeen.erase(0, m_strSeen.size() - keep);
    return false;
  }
  if (m_strSeen.size() > kRegexWindow) {
    const std::size_t cut = m_strSeen.size() - kRegexWindow;
    m_bAtLineStart = IsLineEnd(m_strSeen[cut - 1]);
    m_strSeen.erase(0, cut);
  }
  // '$' is the end of a line only once its line end has come; '^' at the
  // window's start only when a line begins there.
  auto flags = std::regex_constants::match_not_eol;
  if (!m_bAtLineStart) flags |= std::regex_constants::match_not_bol;
  std::smatch match;
  try {
    if (!std::regex_search(m_strSeen, match, *m_regex, flags)) return false;
  } catch (const std::regex_error&) {
    return false;  // the library's own limits: no match rather than a crash
  }
  *rest = m_strSeen.substr(static_cast<std::size_t>(match.position(0) + match.length(0)));
  return true;
}

}  // namespace tarnwick
