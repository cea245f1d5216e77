// The single-byte code pages TEXT can be read in, and the way back: text
// typed on this side (UTF-8) as the bytes of the display's encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/display_options.h"

namespace tarnwick {

// The character byte b stands for in a single-byte encoding (cp1252 keeps
// its five undefined bytes as their Latin-1 controls, as the screen always
// drew them). UTF-8 has no single-byte answer above 0x7F: b itself.
char32_t CodePageChar(TextEncoding encoding, std::uint8_t b);

// The code page's bytes as UTF-8 (lines kept before the text was decoded).
void AppendCodePageAsUtf8(std::string_view bytes, std::string& out);
// Decoded text in the code page, for a text log kept in it: a control
// picture becomes the control byte it pictures, any other character the
// page lacks '?'.
void AppendAsCodePage(std::string_view utf8, std::string& out);

// Why some text has no bytes in an encoding.
struct EncodeFailure {
  std::size_t nCharacter = 0;  // 1-based place of the character in the text
  char32_t c = 0;              // the character (the byte, for text that is not UTF-8)
  std::string strMessage;      // says which character, where, and why
};

// Appends utf8 to out in encoding; on failure out is left as it was.
std::optional<EncodeFailure> EncodeText(std::string_view utf8, TextEncoding encoding,
                                        std::string& out);

}  // namespace tarnwick
