// The text form of the delimiter byte in the Screen Settings dialog, both
// ways. A printable byte (0x20 to 0x7F) is itself; any other is a backslash
// and two upper-case hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The text the Delimiter edit shows for delimiter.
std::string DelimiterText(char delimiter);

// The byte the Delimiter edit's text stands for (single-byte text):
// - empty: a space;
// - a backslash and two hexadecimal digits (either case): that byte; what
//   follows them is ignored;
// - anything else, including a backslash followed by fewer than two
//   characters or by characters that are not hexadecimal digits (\G1): its
//   first character.
char DelimiterFromText(std::string_view text);

}  // namespace tarnwick
