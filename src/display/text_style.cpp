#include "display/text_style.h"

namespace tarnwick {
namespace {

// Yellow, white and the bright colours are darkened where the view is light;
// black is lightened where it is dark: every one stays readable on the
// screen's own background, which the user chose.
constexpr std::uint32_t kOnLight[16] = {
    0x000000, 0xB21818, 0x138A13, 0x8A6A00, 0x1A3FC8, 0x9B1F9B, 0x0C7F87, 0x6E6E6E,
    0x4D4D4D, 0xE02020, 0x1FA81F, 0xA88A00, 0x3B5CFF, 0xC42BC4, 0x0E9EA8, 0x8C8C8C,
};
constexpr std::uint32_t kOnDark[16] = {
    0x5A5A5A, 0xE05555, 0x4FCB4F, 0xD7C34A, 0x5B82F0, 0xCC66CC, 0x4FC8C8, 0xD0D0D0,
    0x8A8A8A, 0xFF7373, 0x73F273, 0xFFF073, 0x8AA8FF, 0xF58CF5, 0x80F5F5, 0xFFFFFF,
};

constexpr std::uint32_t kCubeLevels[6] = {0x00, 0x5F, 0x87, 0xAF, 0xD7, 0xFF};

}  // namespace

std::uint32_t IndexedColourRgb(unsigned index, bool lightBackground) {
  index &= 0xFF;
  if (index < 16) return (lightBackground ? kOnLight : kOnDark)[index];
  if (index < 232) {
    const unsigned cube = index - 16;
    return (kCubeLevels[cube / 36] << 16) | (kCubeLevels[(cube / 6) % 6] << 8) |
           kCubeLevels[cube % 6];
  }
  const std::uint32_t grey = 8 + 10 * (index - 232);
  return (grey << 16) | (grey << 8) | grey;
}

std::uint32_t ColourRgb(std::uint32_t colour, std::uint32_t viewRgb, bool lightBackground) {
  switch (colour & colour::kKindMask) {
    case colour::kIndexed:
      return IndexedColourRgb(colour & 0xFF, lightBackground);
    case colour::kRgb:
      return colour & 0xFFFFFF;
    default:
      return viewRgb;
  }
}

}  // namespace tarnwick
