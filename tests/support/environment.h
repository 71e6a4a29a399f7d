// Setting and removing environment variables in a test, on POSIX and on Windows.
#pragma once

#include <cstdlib>
#include <string>

namespace tarnwick::testing {

inline void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  // An empty value removes the variable on Windows.
  _putenv_s(name.c_str(), "");
#else
  unsetenv(name.c_str());
#endif
}

}  // namespace tarnwick::testing
