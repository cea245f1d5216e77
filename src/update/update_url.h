// Which version-check page a run asks.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// The environment's TARNWICK_UPDATE_URL when it is set (an empty value turns
// the check off), otherwise the URL the build was configured with.
std::string ResolveUpdateUrl(const char* environmentValue, std::string_view builtUrl);

// The same with the real environment and this build's URL; empty in a build
// without the version check.
std::string UpdateUrlForThisRun();

}  // namespace tarnwick
