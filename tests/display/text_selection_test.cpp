#include "display/text_selection.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// Lines 5..8 as shown, 9 decoded (UTF-8, columns count cells); what a drag
// from one point to another copies.
TEST(TextSelection, CopiedText) {
  const char* lines[] = {"alpha", "beta", "gamma", "delta", "\xE6\x97\xA5\xE6\x9C\xACok"};
  const struct {
    const char* name;
    TextPoint from, to;
    bool wholeLines;
    const char* copied;
  } cases[] = {
      {"stretch on one line", {6, 1}, {6, 3}, false, "et"},
      {"stretch dragged backwards", {7, 2}, {6, 1}, false, "eta\r\nga"},
      {"stretch over three lines", {5, 3}, {7, 1}, false, "ha\r\nbeta\r\ng"},
      {"stretch past the line's end", {6, 2}, {6, 40}, false, "ta"},
      {"whole lines", {7, 3}, {6, 0}, true, "beta\r\ngamma\r\n"},
      {"one whole line by a click", {8, 2}, {8, 2}, true, "delta\r\n"},
      {"a click selects nothing", {6, 2}, {6, 2}, false, ""},
      {"first lines dropped meanwhile", {1, 0}, {5, 2}, false, "al"},
      {"wide characters take two cells", {9, 2}, {9, 5}, false, "\xE6\x9C\xACo"},
      {"a cut inside one leaves it on its side", {9, 1}, {9, 3}, false, "\xE6\x9C\xAC"},
  };
  for (const auto& c : cases) {
    TextSelection selection;
    selection.Start(c.from, c.wholeLines);
    selection.Extend(c.to);
    std::string out;
    for (std::uint64_t line = 5; line <= 9; ++line)
      selection.AppendCopied(out, line, lines[line - 5], line == 9);
    EXPECT_EQ(out, c.copied) << c.name;
  }
}

}  // namespace
}  // namespace tarnwick
