// A sequence's wait for text: fed the received text, decoded, in the chunks it
// comes in, it says when the text since the wait began contains a string or
// matches a regular expression, across chunks and line ends.
#pragma once

#include <cstddef>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace tarnwick {

class TextWait {
 public:
  // A match of an expression must lie within the last this many bytes: what
  // one reply needs, and it bounds the work per chunk.
  static constexpr std::size_t kRegexWindow = 1024;

  // Why pattern cannot be waited for (empty, too long, or an expression that
  // does not compile or needs back-references); empty when it can.
  static std::string Check(std::string_view pattern, bool regex);

  // pattern must have passed Check.
  TextWait(std::string pattern, bool regex);

  // Text that arrived. True on a match, with *rest the text after the match
  // (it arrived after it, and the next wait may count it).
  bool Feed(std::string_view text, std::string* rest);

 private:
  static std::regex Compile(std::string_view pattern);

  std::string m_strPattern;
  std::optional<std::regex> m_regex;
  // For a string: the last bytes that could begin a match. For an
  // expression: the text since the wait began, at most kRegexWindow bytes.
  std::string m_strSeen;
  // The first byte of m_strSeen begins a line (nothing was cut before it).
  bool m_bAtLineStart = true;
};

}  // namespace tarnwick
