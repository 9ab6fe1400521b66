// SPDX-License-Identifier: MIT
// Sets an environment variable for one scope and puts the old value back.
#pragma once
#include <cstdlib>
#include <optional>
#include <string>

// Sets (or, for null, removes) an environment variable, on every system.
inline void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

class EnvScope {
 public:
  EnvScope(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    SetEnvironment(name, value);
  }
  ~EnvScope() { SetEnvironment(name_, old_ ? old_->c_str() : nullptr); }
  EnvScope(const EnvScope&) = delete;
  EnvScope& operator=(const EnvScope&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};
