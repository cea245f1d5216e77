#include "platform/error_text.h"

#include <cstring>

#ifndef _WIN32
#include <locale.h>
#endif

#include "display/ansi_code_page.h"

namespace tarnwick {
namespace {

// strerror_r comes as the GNU variant (returns the text) or the XSI one
// (fills the buffer, returns 0); overloads pick whichever this libc has.
[[maybe_unused]] const char* StrerrorResult(const char* text, const char*) { return text; }
[[maybe_unused]] const char* StrerrorResult(int rc, const char* buffer) {
  return rc == 0 ? buffer : nullptr;
}

#ifndef _WIN32
// Made once and kept for the life of the process.
locale_t EnglishLocale() {
  static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}
#endif

// Length of the UTF-8 sequence that lead starts; 0 for a byte that cannot
// start one.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The bits of the character that a lead byte of each length carries.
constexpr unsigned char kLeadBits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};

}  // namespace

std::string SystemErrorText(int error) {
  std::string text;
#ifdef _WIN32
  // The C runtime's texts are English only.
  char buffer[256] = {};
  if (::strerror_s(buffer, sizeof buffer, error) == 0) text = buffer;
#else
  // The user's locale would translate the text (strerror follows
  // LC_MESSAGES); the header is meant to show the system's own words.
  if (const locale_t c = EnglishLocale(); c != static_cast<locale_t>(0)) {
    if (const char* english = ::strerror_l(error, c)) text = english;
  } else {
    char buffer[256] = {};
    if (const char* any = StrerrorResult(::strerror_r(error, buffer, sizeof buffer), buffer))
      text = any;
  }
#endif
  // The "C" locale's texts are ASCII; a C library that gives more gives UTF-8.
  return Utf8ToAnsi(text);
}

std::string Utf8ToAnsi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = SequenceLength(lead);
    char32_t c = lead & kLeadBits[length];
    bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    valid = valid && !(length == 3 && c < 0x800) &&
            !(length == 4 && (c < 0x10000 || c > 0x10FFFF)) && !(c >= 0xD800 && c <= 0xDFFF);
    if (!valid) {
      out.push_back('?');
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(UnicodeToAnsi(c)));
    i += static_cast<std::size_t>(length);
  }
  return out;
}

}  // namespace tarnwick
