// Win32Accounts against the caller's real token, and the parts of Win32EventLogService that
// do not depend on a running event log service.
#include <algorithm>
#include <string>
#include <vector>

#include "check.h"
#include "platform/win32/accounts.h"
#include "platform/win32/eventlog_service.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

using platform::Bytes;

Bytes Sid(std::initializer_list<int> bytes) {
  Bytes sid;
  for (int b : bytes) sid.push_back(static_cast<std::byte>(b));
  return sid;
}

// S-1-1-0 and S-1-5-32-544.
const Bytes kEveryone = Sid({1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0});
const Bytes kAdministrators = Sid({1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0});

}  // namespace

void AccountsChecks() {
  win32::Win32Accounts accounts;
  std::vector<Bytes> groups;
  std::uint32_t needed = 0;
  QB_CHECK(accounts.GetTokenGroups(0, groups, needed) == ERROR_INSUFFICIENT_BUFFER);
  QB_CHECK(needed > 0 && groups.empty());
  QB_CHECK(accounts.GetTokenGroups(needed, groups, needed) == 0);
  QB_CHECK(!groups.empty());
  for (const Bytes& sid : groups) {
    QB_CHECK(sid.size() >= 8 && sid.size() == 8 + 4 * static_cast<std::size_t>(sid[1]));
  }
  QB_CHECK(std::find(groups.begin(), groups.end(), kEveryone) != groups.end());

  std::u16string name, domain;
  QB_CHECK(accounts.LookupAccountSid(kAdministrators, 256, 256, name, domain) == 0);
  QB_CHECK(name == u"Administrators" && domain == u"BUILTIN");
  QB_CHECK(accounts.LookupAccountSid(kAdministrators, 3, 256, name, domain) ==
           ERROR_INSUFFICIENT_BUFFER);
  // Trailing bytes after the SID's own length are ignored.
  Bytes padded = kEveryone;
  padded.resize(padded.size() + 6, std::byte{0x55});
  QB_CHECK(accounts.LookupAccountSid(padded, 256, 256, name, domain) == 0 && !name.empty());
  // Bytes that are not a whole valid SID get what Windows says of an invalid SID.
  QB_CHECK(accounts.LookupAccountSid(Sid({1, 1, 0, 0}), 256, 256, name, domain) ==
           ERROR_INVALID_SID);
  Bytes cut = kAdministrators;
  cut.resize(14);
  QB_CHECK(accounts.LookupAccountSid(cut, 256, 256, name, domain) == ERROR_INVALID_SID);
  QB_CHECK(accounts.LookupAccountSid(Sid({1, 20, 0, 0, 0, 0, 0, 5}), 256, 256, name, domain) ==
           ERROR_INVALID_SID);
  QB_CHECK(accounts.LookupAccountSid(Sid({9, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}), 256, 256, name,
                                     domain) == ERROR_INVALID_SID);
  QB_CHECK(name.empty() && domain.empty());
}

void EventLogChecks() {
  win32::Win32EventLogService service;
  platform::Handle log = 0;
  QB_CHECK(service.OpenBackupEventLog(u"", log) == ERROR_INVALID_PARAMETER && log == 0);
  QB_CHECK(service.OpenEventLog(u"Application", log) == 0 && log != 0);
  if (log == 0) return;
  QB_CHECK(service.BackupEventLog(log, u"") == ERROR_INVALID_PARAMETER);
  platform::ErrorCode error = 0;
  auto change = service.NotifyChangeEventLog(log, error);
  QB_CHECK(change != nullptr && error == 0);
  if (change != nullptr) {
    QB_CHECK(change->Wait(0, error) != platform::IChangeEvent::WaitResult::kFailed);
  }
  bool full = true;
  const platform::ErrorCode fullError = service.GetFullInformation(log, full);
  QB_CHECK(fullError != ERROR_PROC_NOT_FOUND);
  if (fullError == 0) QB_CHECK(!full);
  QB_CHECK(service.CloseEventLog(log) == 0);
}

}  // namespace qb::wine_test
