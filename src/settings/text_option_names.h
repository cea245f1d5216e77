// The text options as the profile and the command line spell them. Each
// option has one table of names; a name is read without regard to case, and
// anything else is refused (nullopt), so the caller decides what a bad value
// costs: the profile falls back to the default, the command line ends with
// an error.
#pragma once

#include <optional>
#include <string_view>

#include "settings/display_options.h"

namespace tarnwick {

// Profile, Options/TextEncoding: "cp1252", "UTF-8", "ISO-8859-1", "cp437".
std::string_view EncodingProfileName(TextEncoding encoding);
std::optional<TextEncoding> EncodingFromProfileName(std::string_view name);

// Command line, --encoding: "cp1252", "utf-8", "iso-8859-1", "cp437".
std::string_view EncodingArgument(TextEncoding encoding);
std::optional<TextEncoding> EncodingFromArgument(std::string_view argument);

// Profile, Options/ControlCharacters, and --control-characters alike:
// "as-is", "pictures", "escapes".
std::string_view ControlCharactersName(ControlCharacters controls);
std::optional<ControlCharacters> ControlCharactersFromName(std::string_view name);

}  // namespace tarnwick
