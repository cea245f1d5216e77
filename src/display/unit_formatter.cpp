#include "display/unit_formatter.h"

#include <bit>
#include <cstdio>

namespace tarnwick {

std::size_t FormatFloatUnit(std::uint32_t value, char* out) {
  const double number = std::bit_cast<float>(value);
  const int length = std::snprintf(out, kUnitTextCapacity, " %f", number);
  if (length < 0) return 0;
  return static_cast<std::size_t>(length) < kUnitTextCapacity ? static_cast<std::size_t>(length)
                                                              : kUnitTextCapacity - 1;
}

}  // namespace tarnwick
