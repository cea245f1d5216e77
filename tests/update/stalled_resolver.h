// A name that the system's resolver never answers: this test program's own
// getaddrinfo, which libcurl's lookup thread calls instead of the C
// library's, holds lookups of kStalledHost until Release().
#pragma once

#include <cstddef>

namespace tarnwick::testing {

inline constexpr const char* kStalledHost = "stalled.invalid";

// Waits until count lookups of kStalledHost have started.
void WaitForStalledLookups(std::size_t count);
// Lets every held lookup, and every later one, fail at once.
void ReleaseStalledLookups();

}  // namespace tarnwick::testing
