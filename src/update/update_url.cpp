#include "update/update_url.h"

#include <cstdlib>

#include "update/build_config.h"

namespace tarnwick {

std::string ResolveUpdateUrl(const char* environmentValue, std::string_view builtUrl) {
  return environmentValue != nullptr ? std::string(environmentValue) : std::string(builtUrl);
}

std::string UpdateUrlForThisRun() {
  if (!kVersionCheckBuilt) return {};
  return ResolveUpdateUrl(std::getenv("TARNWICK_UPDATE_URL"), kBuiltUpdateUrl);
}

}  // namespace tarnwick
