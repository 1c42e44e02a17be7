#include "eventlog/event_log_list.h"

#include <vector>

#include "eventlog/handles.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "sysutil/environment.h"
#include "sysutil/registry_key.h"
#include "sysutil/windows_version.h"
#include "util/text.h"

namespace qb {
namespace {

constexpr std::uint32_t kDisplayNameBuffer = 256;
constexpr std::uint32_t kExpandBuffer = 260;

std::u16string DisplayNameOf(const sysutil::RegistryKey& key, const std::u16string& registryName) {
  if (!key.ValueExists(u"DisplayNameFile") || !key.ValueExists(u"DisplayNameID")) {
    return registryName;
  }
  const auto file = key.ReadString(u"DisplayNameFile");
  const auto id = key.ReadDword(u"DisplayNameID");
  if (!file || !id) return registryName;
  std::vector<char16_t> buffer(kExpandBuffer);
  const std::uint32_t needed = platform::System().ExpandEnvironmentStrings(*file, buffer);
  if (needed == 0 || needed > buffer.size()) return registryName;
  const std::u16string path(buffer.data(), needed - 1);

  auto& modules = platform::Modules();
  platform::ErrorCode error = 0;
  // Its message table is all that is needed: no code of a third party's library runs in the
  // host for a name.
  const OwnedModule library(modules.LoadLibraryAsDataFile(path, error));
  if (library.get() == 0) return registryName;
  // The message is taken without inserts: a display name has none, and formatting one that
  // named an insert without arguments would read garbage.
  std::u16string text;
  std::u16string result = registryName;
  if (modules.MessageTemplate(library.get(), *id, text) == platform::err::kSuccess &&
      text.size() < kDisplayNameBuffer) {
    const auto trimmed = util::TrimControlAndSpace(util::UpToZero(text));
    if (!trimmed.empty()) result = std::u16string(trimmed);
  }
  return result;
}

std::u16string DefaultFileOf(const std::u16string& registryName, const TLngResource& language) {
  switch (sysutil::GetOSMajorVersion()) {
    case 5:
      return u"%SystemRoot%\\system32\\config\\" + registryName + u".evt";
    case 6:
      return u"%SystemRoot%\\system32\\winevt\\logs\\" + registryName + u".evtx";
    default:
      return language.GetLocaleString(37);
  }
}

}  // namespace

TEventLogList::TEventLogList(const TLngResource& language) {
  fItems.push_back({u"Unknown", u"Unknown", u"Unknown"});
  std::vector<std::u16string> names;
  {
    auto root = sysutil::RegistryKey::Open(platform::RegRoot::kLocalMachine, kEventLogKey,
                                           platform::access::kKeyRead);
    if (!root) return;
    names = root->SubKeyNames();
  }
  for (const auto& name : names) {
    auto key =
        sysutil::RegistryKey::Open(platform::RegRoot::kLocalMachine,
                                   std::u16string(kEventLogKey) + name, platform::access::kKeyRead);
    if (!key) continue;
    // The event log service keeps its own settings in a subkey ("Parameters" on Vista and
    // later) that names its service library. It is no log: opening it would open Application.
    if (key->ValueExists(u"ServiceDll")) continue;
    TEventLogItem item;
    item.eiRegistryName = name;
    item.eiDisplayName = DisplayNameOf(*key, name);
    const auto file = key->ReadString(u"File");
    item.eiFile = sysutil::ExpandEnvVars(file ? *file : DefaultFileOf(name, language));
    fItems.push_back(std::move(item));
  }
}

const TEventLogItem& TEventLogList::Item(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= fItems.size()) throw EListError();
  return fItems[static_cast<std::size_t>(index)];
}

const std::u16string& TEventLogList::GetEventLogName(std::int32_t index) const {
  return Item(index).eiRegistryName;
}

const std::u16string& TEventLogList::GetEventLogDisplayName(std::int32_t index) const {
  return Item(index).eiDisplayName;
}

const std::u16string& TEventLogList::GetEventLogFile(std::int32_t index) const {
  return Item(index).eiFile;
}

std::int32_t TEventLogList::GetEventLogIndex(std::u16string_view displayName) const {
  for (std::size_t i = 0; i < fItems.size(); ++i) {
    if (fItems[i].eiDisplayName == displayName) return static_cast<std::int32_t>(i);
  }
  return 0;
}

bool TEventLogList::EventLogExists(std::u16string_view displayName) const {
  for (const auto& item : fItems) {
    if (item.eiDisplayName == displayName) return true;
  }
  return false;
}

}  // namespace qb
