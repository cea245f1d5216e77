// The display's single-byte code page, Windows-1252: what a received byte
// looks like on the screen and on the clipboard, and which byte a typed
// character becomes. The five bytes the code page leaves undefined keep
// their Latin-1 control character both ways.
#pragma once

#include <cstdint>

namespace tarnwick {

// The Unicode character that byte b shows as.
char16_t AnsiToUnicode(std::uint8_t b);

// The byte for character c; '?' when the code page has none, as the
// platform's conversion does.
std::uint8_t UnicodeToAnsi(char32_t c);

}  // namespace tarnwick
