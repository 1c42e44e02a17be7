// Runs the Windows backend's user interface against the real API: under Wine by
// run-platform-tests.sh, or on Windows directly.
//   qb_wine_platform_test
#include <cstdio>

#include "check.h"
#include "platform_checks.h"

int wmain() {
  using namespace qb::wine_test;
  const struct {
    const char* name;
    void (*run)();
  } groups[] = {
      {"message window", &MessageWindowChecks},
      {"user interface", &UserInterfaceChecks},
      {"dialogs", &DialogChecks},
  };
  int failedGroups = 0;
  for (const auto& group : groups) {
    const int before = Totals().failed;
    try {
      group.run();
    } catch (...) {
      ++Totals().failed;
      std::printf("FAIL: %s: an exception escaped\n", group.name);
    }
    const bool ok = Totals().failed == before;
    if (!ok) ++failedGroups;
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", group.name);
  }
  std::printf("%s: %d checks passed, %d failed\n", failedGroups == 0 ? "PASS" : "FAIL",
              Totals().passed, Totals().failed);
  return failedGroups == 0 ? 0 : 1;
}
