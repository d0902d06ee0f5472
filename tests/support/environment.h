#pragma once

#include <cstdlib>

// setenv and unsetenv for the tests on Windows, whose C runtime has neither;
// _putenv_s changes the process environment too, which the program under
// test reads.
#ifdef _WIN32
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
