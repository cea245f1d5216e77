#include "display/code_pages.h"

#include <cstdio>

#include "display/ansi_code_page.h"
#include "display/cell_width.h"
#include "settings/text_option_names.h"

namespace tarnwick {
namespace {

// 0x80..0xFF; 0x00..0x7F are ASCII and its controls.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0-A7
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0-B7
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8-CF
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0-D7
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8-DF
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0-E7
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8-EF
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0-F7
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8-FF
};

// The byte for c in a single-byte encoding, or -1.
int ByteFor(TextEncoding encoding, char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  switch (encoding) {
    case TextEncoding::kIso8859_1:
      return c <= 0xFF ? static_cast<int>(c) : -1;
    case TextEncoding::kCp437:
      for (int i = 0; i < 128; ++i) {
        if (kCp437High[i] == c) return 0x80 + i;
      }
      return -1;
    default: {
      const std::uint8_t b = UnicodeToAnsi(c);
      return b == '?' ? -1 : b;
    }
  }
}

EncodeFailure Failure(std::size_t place, char32_t c, bool notUtf8, TextEncoding encoding) {
  char text[160];
  if (notUtf8) {
    std::snprintf(text, sizeof text, "The text is not valid UTF-8: byte 0x%02X at character %zu.",
                  static_cast<unsigned>(c), place);
  } else {
    const std::string_view name = EncodingProfileName(encoding);
    std::snprintf(text, sizeof text, "Character %zu (U+%04X) has no byte in %.*s.", place,
                  static_cast<unsigned>(c), static_cast<int>(name.size()), name.data());
  }
  return EncodeFailure{place, c, text};
}

}  // namespace

char32_t CodePageChar(TextEncoding encoding, std::uint8_t b) {
  if (b < 0x80) return b;
  switch (encoding) {
    case TextEncoding::kCp1252:
      return AnsiToUnicode(b);
    case TextEncoding::kCp437:
      return kCp437High[b - 0x80];
    default:
      return b;
  }
}

void AppendCodePageAsUtf8(std::string_view bytes, std::string& out) {
  char utf8[4];
  for (const char byte : bytes) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b < 0x80) {
      out.push_back(byte);
    } else {
      out.append(utf8, AppendUtf8(AnsiToUnicode(b), utf8));
    }
  }
}

void AppendAsCodePage(std::string_view utf8, std::string& out) {
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    char32_t c = DecodeUtf8At(utf8, at, &length);
    if (c >= 0x2400 && c <= 0x241F) c -= 0x2400;
    if (c == 0x2421) c = 0x7F;
    const int b = ByteFor(TextEncoding::kCp1252, c);
    out.push_back(static_cast<char>(b < 0 ? '?' : b));
  }
}

std::optional<EncodeFailure> EncodeText(std::string_view utf8, TextEncoding encoding,
                                        std::string& out) {
  const std::size_t kept = out.size();
  std::size_t place = 0;
  for (std::size_t at = 0, length = 0; at < utf8.size(); at += length) {
    ++place;
    const char32_t c = DecodeUtf8At(utf8, at, &length);
    const bool notUtf8 = length == 1 && static_cast<std::uint8_t>(utf8[at]) >= 0x80;
    if (encoding == TextEncoding::kUtf8 && !notUtf8) {
      out.append(utf8.substr(at, length));
      continue;
    }
    const int b = notUtf8 ? -1 : ByteFor(encoding, c);
    if (b < 0) {
      out.resize(kept);
      return Failure(place, c, notUtf8, encoding);
    }
    out.push_back(static_cast<char>(b));
  }
  return std::nullopt;
}

}  // namespace tarnwick
