#include "transmit/scan_float.h"

#include <clocale>
#include <cstdio>

#include <locale.h>

namespace tarnwick {

#ifdef _WIN32

int ScanFloat(const char* text, float& value) {
  static const _locale_t cLocale = _create_locale(LC_ALL, "C");
  return _sscanf_l(text, "%f", cLocale, &value);
}

#else

int ScanFloat(const char* text, float& value) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  // The thread's own locale is switched, so other threads are unaffected.
  const locale_t previous = uselocale(cLocale);
  const int converted = std::sscanf(text, "%f", &value);
  uselocale(previous);
  return converted;
}

#endif

}  // namespace tarnwick
