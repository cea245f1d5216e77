// Sets an environment variable for one test and restores it afterwards.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>

namespace tarnwick::testing {

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* old = ::getenv(m_name.c_str())) m_old = old;
    ::setenv(m_name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace tarnwick::testing
