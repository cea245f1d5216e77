// The system's text for an error number, as the header line and the status
// bar show it: the English sentence whatever language the user's locale
// chose, in the display's code page.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The C library's text for errno value error, taken under the "C" locale.
std::string SystemErrorText(int error);

// UTF-8 text in the display's code page: each character becomes its byte, a
// character the code page lacks and every malformed sequence become '?'.
std::string Utf8ToAnsi(std::string_view text);

}  // namespace tarnwick
