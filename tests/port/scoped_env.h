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
    Set(value.c_str());
  }
  ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  // Null removes the variable.
  void Set(const char* value) const {
#ifdef _WIN32
    ::_putenv_s(m_name.c_str(), value != nullptr ? value : "");  // empty removes it there
#else
    if (value != nullptr) {
      ::setenv(m_name.c_str(), value, 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
#endif
  }

  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace tarnwick::testing
