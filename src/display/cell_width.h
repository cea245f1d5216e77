// How many cells of the screen's grid a character takes: two for East Asian
// wide and fullwidth characters (CJK, most emoji), none for combining marks
// and format characters (they join the character before them), one for the
// rest. Decoded lines keep UTF-8; these walk it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarnwick {

int CellWidth(char32_t c);

// The character starting at text[at] and the bytes it takes (1 for a byte
// that starts no character, which decoded lines never hold).
char32_t DecodeUtf8At(std::string_view text, std::size_t at, std::size_t* length);

// Appends the UTF-8 form of c to out; returns its length.
std::size_t AppendUtf8(char32_t c, char* out);

// The cells a decoded line's text takes.
std::size_t CellCount(std::string_view utf8);
// The cell at which the character holding byte `byte` starts.
std::size_t CellOfByte(std::string_view utf8, std::size_t byte);
// The first byte of the first character starting at or after cell `cell`:
// the second cell of a wide character belongs to it, so a cut there leaves
// the character whole on the side it started. The text's length past the end.
std::size_t ByteOfCell(std::string_view utf8, std::size_t cell);

}  // namespace tarnwick
