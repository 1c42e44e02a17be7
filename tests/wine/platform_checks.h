// The groups of checks of the Windows backend's user interface. The other services are
// checked by the platform suites (tests/platform).
#pragma once

namespace qb::wine_test {

void MessageWindowChecks();
void DialogChecks();
void UserInterfaceChecks();

}  // namespace qb::wine_test
