// A name the resolver never answers: this program's own getaddrinfo, which
// libcurl's lookup thread calls instead of the C library's, holds lookups of
// kStalledHost until ReleaseStalledLookups().
#pragma once

namespace tarnwick::testing {
inline constexpr const char* kStalledHost = "stalled.invalid";
void WaitForAStalledLookup();
void ReleaseStalledLookups();  // they, and every later one, fail at once
}  // namespace tarnwick::testing
