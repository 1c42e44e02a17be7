// A minimal check runner for the Windows test programs: they run under Wine or on Windows,
// where the native test framework is not built.
#pragma once

#include <cstdio>

namespace qb::wine_test {

struct Counters {
  int passed = 0;
  int failed = 0;
};

inline Counters& Totals() {
  static Counters counters;
  return counters;
}

inline bool Check(bool ok, const char* expression, const char* file, int line) {
  if (ok) {
    ++Totals().passed;
  } else {
    ++Totals().failed;
    std::printf("FAIL: %s:%d: %s\n", file, line, expression);
  }
  return ok;
}

}  // namespace qb::wine_test

#define QB_CHECK(expression) \
  ::qb::wine_test::Check(static_cast<bool>(expression), #expression, __FILE__, __LINE__)
