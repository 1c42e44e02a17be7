// Runs the Windows backend against the real API: under Wine by run-platform-tests.sh, or on
// Windows directly.
//   qb_wine_platform_test <path of the built plugin library>
#include <cstdio>
#include <string>

#include "check.h"
#include "platform_checks.h"

namespace qb::wine_test {

std::wstring& PluginPath() {
  static std::wstring path;
  return path;
}

}  // namespace qb::wine_test

int wmain(int argc, wchar_t** argv) {
  using namespace qb::wine_test;
  if (argc != 2) {
    std::printf("usage: qb_wine_platform_test <path of the built plugin library>\n");
    return 2;
  }
  PluginPath() = argv[1];
  const struct {
    const char* name;
    void (*run)();
  } groups[] = {
      {"registry", &RegistryChecks},
      {"system", &SystemChecks},
      {"locale", &LocaleChecks},
      {"modules", &ModulesChecks},
      {"message window", &MessageWindowChecks},
      {"accounts", &AccountsChecks},
      {"event log service", &EventLogChecks},
      {"files", &FileChecks},
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
