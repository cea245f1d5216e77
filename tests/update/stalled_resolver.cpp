#include "stalled_resolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

namespace tarnwick::testing {
namespace {

struct Stall {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t started = 0;
  bool released = false;
};

// Never destroyed: a lookup thread libcurl left behind may still use it.
Stall& TheStall() {
  static Stall* stall = new Stall;
  return *stall;
}

}  // namespace

void WaitForStalledLookups(std::size_t count) {
  Stall& stall = TheStall();
  std::unique_lock<std::mutex> lock(stall.mutex);
  stall.changed.wait(lock, [&] { return stall.started >= count; });
}

void ReleaseStalledLookups() {
  Stall& stall = TheStall();
  const std::lock_guard<std::mutex> lock(stall.mutex);
  stall.released = true;
  stall.changed.notify_all();
}

}  // namespace tarnwick::testing

extern "C" int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                           struct addrinfo** result) {
  using tarnwick::testing::TheStall;
  if (node != nullptr && std::strcmp(node, tarnwick::testing::kStalledHost) == 0) {
    auto& stall = TheStall();
    std::unique_lock<std::mutex> lock(stall.mutex);
    ++stall.started;
    stall.changed.notify_all();
    stall.changed.wait(lock, [&] { return stall.released; });
    return EAI_AGAIN;
  }
  using Lookup = int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
  static const auto real = reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"));
  return real(node, service, hints, result);
}
