// Runs a piece of a test with the rights of an ordinary user, so that file
// permissions hold even when the tests run as root.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace tarnwick::testing {

// The identity an unprivileged child takes: "nobody" on common systems.
inline constexpr uid_t kUnprivilegedId = 65534;

// Returns body's result (0..255). As root, body runs in a child process that
// has become kUnprivilegedId first; -1 when that child did not end normally.
// Otherwise it runs here. body must not use gtest assertions.
inline int RunUnprivileged(const std::function<int()>& body) {
  if (::geteuid() != 0) return body();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
        ::setuid(kUnprivilegedId) != 0)
      ::_exit(255);
    ::_exit(body() & 0xFF);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarnwick::testing
