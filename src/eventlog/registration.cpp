// The system's own event source under the Application log, registered while loaded.
#include "eventlog/event_log.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "sysutil/registry_key.h"

namespace qb {

namespace err = platform::err;

void TFWEventLog::ShowRegistrationError() const {
  constexpr std::uint32_t kFlags = platform::mb::kOk | platform::mb::kIconError;
  if (FNoticeSink) {
    FNoticeSink(FLanguage.GetLocaleString(200), kFlags);
    return;
  }
  platform::Ui().MessageBox(0, FLanguage.GetLocaleString(200), FSource, kFlags);
}

bool TFWEventLog::RegisterApp(std::int32_t CategoryCount) {
  if (!FIsAdmin) {
    ShowRegistrationError();
    return false;
  }
  auto key = sysutil::RegistryKey::Create(platform::RegRoot::kLocalMachine, FRegisterKey,
                                          platform::access::kKeyAllAccess);
  if (key) {
    const std::u16string path = platform::System().ModuleFileName();
    // The values go in this order; those written before a failure stay.
    if (key->WriteString(OwnString(res::kCategoryMessageFile, u"CategoryMessageFile"), path) ==
            err::kSuccess &&
        key->WriteString(OwnString(res::kEventMessageFile, u"EventMessageFile"), path) ==
            err::kSuccess &&
        key->WriteDword(OwnString(res::kCategoryCount, u"CategoryCount"),
                        static_cast<std::uint32_t>(CategoryCount)) == err::kSuccess &&
        key->WriteDword(OwnString(res::kTypesSupported, u"TypesSupported"), 0x1F) ==
            err::kSuccess) {
      return true;
    }
  }
  ShowRegistrationError();
  return false;
}

bool TFWEventLog::DeregisterApp(bool quiet) {
  if (!FIsAdmin) {
    if (!quiet) ShowRegistrationError();
    return false;
  }
  try {
    // A key that is gone already is no failure: the source is not registered either way.
    const auto error =
        platform::Registry().DeleteTree(platform::RegRoot::kLocalMachine, FRegisterKey);
    if (error == err::kSuccess || error == err::kFileNotFound) return true;
    if (!quiet) ShowRegistrationError();
    return false;
  } catch (...) {
    return false;
  }
}

bool TFWEventLog::IsRegistered() const {
  platform::Handle opened = 0;
  const auto error = platform::Registry().OpenKey(platform::RegRoot::kLocalMachine, FRegisterKey,
                                                  platform::access::kKeyQueryValue, opened);
  const auto key = sysutil::RegistryKey::Adopt(opened);
  return error == err::kSuccess || error == err::kAccessDenied;
}

}  // namespace qb
