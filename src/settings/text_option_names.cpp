#include "settings/text_option_names.h"

#include <algorithm>
#include <array>

namespace tarnwick {
namespace {

template <class Value>
struct Name {
  Value value;
  std::string_view text;
};

constexpr std::array<Name<TextEncoding>, 4> kEncodingProfileNames = {{
    {TextEncoding::kCp1252, "cp1252"},
    {TextEncoding::kUtf8, "UTF-8"},
    {TextEncoding::kIso8859_1, "ISO-8859-1"},
    {TextEncoding::kCp437, "cp437"},
}};

constexpr std::array<Name<TextEncoding>, 4> kEncodingArguments = {{
    {TextEncoding::kCp1252, "cp1252"},
    {TextEncoding::kUtf8, "utf-8"},
    {TextEncoding::kIso8859_1, "iso-8859-1"},
    {TextEncoding::kCp437, "cp437"},
}};

constexpr std::array<Name<ControlCharacters>, 3> kControlNames = {{
    {ControlCharacters::kAsIs, "as-is"},
    {ControlCharacters::kPictures, "pictures"},
    {ControlCharacters::kEscapes, "escapes"},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

template <class Value, std::size_t N>
std::string_view NameOf(const std::array<Name<Value>, N>& names, Value value) {
  for (const auto& name : names) {
    if (name.value == value) return name.text;
  }
  return names.front().text;
}

template <class Value, std::size_t N>
std::optional<Value> ValueOf(const std::array<Name<Value>, N>& names, std::string_view text) {
  for (const auto& name : names) {
    if (SameIgnoringCase(name.text, text)) return name.value;
  }
  return std::nullopt;
}

}  // namespace

std::string_view EncodingProfileName(TextEncoding encoding) {
  return NameOf(kEncodingProfileNames, encoding);
}

std::optional<TextEncoding> EncodingFromProfileName(std::string_view name) {
  return ValueOf(kEncodingProfileNames, name);
}

std::string_view EncodingArgument(TextEncoding encoding) {
  return NameOf(kEncodingArguments, encoding);
}

std::optional<TextEncoding> EncodingFromArgument(std::string_view argument) {
  return ValueOf(kEncodingArguments, argument);
}

std::string_view ControlCharactersName(ControlCharacters controls) {
  return NameOf(kControlNames, controls);
}

std::optional<ControlCharacters> ControlCharactersFromName(std::string_view name) {
  return ValueOf(kControlNames, name);
}

}  // namespace tarnwick
