// How decoded TEXT looks: colours and attributes set by escape sequences,
// and the marks of bytes that did not decode and of control characters shown
// as text. Lines keep them as runs: a run starts at a byte of the line's text
// and lasts until the next run; text before the first run is plain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnwick {

// A colour: the view's own (0), one of the 256 indexed ones, or 24-bit.
namespace colour {
inline constexpr std::uint32_t kDefault = 0;
inline constexpr std::uint32_t kIndexed = 1u << 24;  // | index 0..255
inline constexpr std::uint32_t kRgb = 2u << 24;      // | 0xRRGGBB
inline constexpr std::uint32_t kKindMask = 0xFFu << 24;
inline constexpr std::uint32_t Indexed(unsigned index) { return kIndexed | (index & 0xFF); }
inline constexpr std::uint32_t Rgb(unsigned r, unsigned g, unsigned b) {
  return kRgb | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
}  // namespace colour

enum TextStyleFlag : std::uint32_t {
  kStyleBold = 1u << 0,
  kStyleDim = 1u << 1,
  kStyleItalic = 1u << 2,
  kStyleUnderline = 1u << 3,
  kStyleInverse = 1u << 4,
  kStyleInvalid = 1u << 5,  // a byte that did not decode, shown as \xHH
  kStyleControl = 1u << 6,  // a control character shown as \xHH text
};

struct TextStyle {
  std::uint32_t nForeground = colour::kDefault;
  std::uint32_t nBackground = colour::kDefault;
  std::uint32_t nFlags = 0;

  bool Plain() const { return nForeground == 0 && nBackground == 0 && nFlags == 0; }
  friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

// One run as a line keeps it, packed.
struct StyleRun {
  std::uint32_t nStart = 0;  // byte of the line's text where the style begins
  TextStyle style;
};
inline constexpr std::size_t kStyleRunSize = 16;
static_assert(sizeof(StyleRun) == kStyleRunSize);

// The runs kept for a line, as bytes.
inline std::size_t StyleRunCount(std::string_view runs) { return runs.size() / kStyleRunSize; }
inline StyleRun StyleRunAt(std::string_view runs, std::size_t i) {
  StyleRun run;
  std::memcpy(&run, runs.data() + i * kStyleRunSize, kStyleRunSize);
  return run;
}

// 0xRRGGBB of an indexed colour: the 16 of the escape codes in a palette that
// reads on a light (or dark) background, then xterm's 6x6x6 cube and 24 greys.
std::uint32_t IndexedColourRgb(unsigned index, bool lightBackground);
// 0xRRGGBB of any colour; the view's own is given as viewRgb.
std::uint32_t ColourRgb(std::uint32_t colour, std::uint32_t viewRgb, bool lightBackground);

}  // namespace tarnwick
