// The groups of checks of the Windows backend, one per service.
#pragma once

namespace qb::wine_test {

void RegistryChecks();
void SystemChecks();
void LocaleChecks();
void ModulesChecks();
void MessageWindowChecks();
void AccountsChecks();
void EventLogChecks();
void DialogChecks();
void UserInterfaceChecks();
void FileChecks();

}  // namespace qb::wine_test
