#include "stalled_resolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {
// Never destroyed: a lookup thread libcurl left behind may still use them.
auto& g_mutex = *new std::mutex;
auto& g_changed = *new std::condition_variable;
bool g_started = false;
bool g_released = false;
}  // namespace

void tarnwick::testing::WaitForAStalledLookup() {
  std::unique_lock<std::mutex> lock(g_mutex);
  g_changed.wait(lock, [] { return g_started; });
}

void tarnwick::testing::ReleaseStalledLookups() {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_released = true;
  g_changed.notify_all();
}

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
  if (node != nullptr && std::strcmp(node, tarnwick::testing::kStalledHost) == 0) {
    std::unique_lock<std::mutex> lock(g_mutex);
    g_started = true;
    g_changed.notify_all();
    g_changed.wait(lock, [] { return g_released; });
    return EAI_AGAIN;
  }
  using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const auto real = reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"));
  return real(node, service, hints, result);
}
