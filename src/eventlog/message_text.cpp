// Category and description texts from the message libraries that event sources register.
#include <algorithm>

#include "eventlog/event_log.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "sysutil/environment.h"
#include "sysutil/registry_key.h"
#include "util/format.h"
#include "util/text.h"

namespace qb {
namespace {

namespace err = platform::err;

constexpr std::size_t kMaxKeyLength = 255;
constexpr platform::Handle kSmallestModuleHandle = 32;
constexpr std::uint32_t kSourceKeyAccess = platform::access::kStandardRightsRead |
                                           platform::access::kKeyQueryValue |
                                           platform::access::kKeyEnumerateSubKeys;
constexpr char16_t kSecurityDefaults[] =
    u"%SystemRoot%\\System32\\MsAuditE.dll;%SystemRoot%\\System32\\xpsp2res.dll";

}  // namespace

std::size_t HighestInsertNamed(std::u16string_view text) {
  // Every "%" followed by a digit 1-9 counts, escapes included: an upper bound is what keeps
  // the platform from reading past the inserts.
  std::size_t highest = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'%' || text[i + 1] < u'1' || text[i + 1] > u'9') continue;
    std::size_t n = static_cast<std::size_t>(text[i + 1] - u'0');
    if (i + 2 < text.size() && text[i + 2] >= u'0' && text[i + 2] <= u'9') {
      n = n * 10 + static_cast<std::size_t>(text[i + 2] - u'0');
    }
    highest = std::max(highest, n);
  }
  return highest;
}

std::u16string TFWEventLog::FormatMessageFrom(platform::Handle module, std::uint32_t id,
                                              const std::vector<std::u16string>* inserts,
                                              std::size_t* highest) {
  try {
    auto& modules = platform::Modules();
    // The platform reads as many inserts as the message names: a message that names more
    // than the record supplies cannot come from this library.
    std::u16string templ;
    if (modules.MessageTemplate(module, id, templ) != err::kSuccess) return {};
    const std::size_t named = HighestInsertNamed(templ);
    if (highest != nullptr) *highest = named;
    const std::size_t supplied = inserts == nullptr ? 0 : inserts->size();
    if (named > supplied) return {};
    return FormatKnownMessage(module, id, inserts);
  } catch (...) {
    return {};
  }
}

std::u16string TFWEventLog::FormatKnownMessage(platform::Handle module, std::uint32_t id,
                                               const std::vector<std::u16string>* inserts) {
  try {
    auto& modules = platform::Modules();
    std::u16string text;
    const std::span<const std::u16string> args =
        inserts == nullptr ? std::span<const std::u16string>() : std::span(*inserts);
    if (modules.FormatMessage(module, id, args, text) != err::kSuccess) return {};
    return std::u16string(util::TrimControlAndSpace(util::UpToZero(text)));
  } catch (...) {
    return {};
  }
}

std::u16string TFWEventLog::LookupMessage(const std::u16string& source,
                                          const std::u16string& valueName, std::uint32_t id,
                                          const std::vector<std::u16string>* inserts,
                                          std::int32_t index) {
  if (source == FSource) {
    const BorrowedModule own(platform::Modules().OwnModule());
    return FormatMessageFrom(own.get(), id, inserts);
  }
  // The library and template of a message are found once per log, source and message while the log
  // is open; each record only applies its inserts.
  std::u16string key = util::ToDecimal(index);  // a source belongs to its log
  key += u'\0';
  key += valueName;
  key += u'\0';
  key += source;
  key += u'\0';
  key += util::ToDecimalUnsigned(id);
  CachedMessage& entry = FMessageCache[key];
  // The insert count is checked per record: the same message may come with fewer inserts.
  const std::size_t supplied = inserts == nullptr ? 0 : inserts->size();
  for (const auto& found : entry.found) {
    if (found.highest > supplied) continue;
    std::u16string text = FormatKnownMessage(found.module, id, inserts);
    if (!text.empty()) return text;
  }
  if (entry.complete) return {};
  // None known fits: another library of the source may have a message that does. Nothing
  // found means every library of the source has been asked.
  std::u16string text = SearchMessage(source, valueName, id, inserts, index, entry);
  if (text.empty()) entry.complete = true;
  return text;
}

std::u16string TFWEventLog::SearchMessage(const std::u16string& source,
                                          const std::u16string& valueName, std::uint32_t id,
                                          const std::vector<std::u16string>* inserts,
                                          std::int32_t index, CachedMessage& entry) {
  auto& modules = platform::Modules();
  // Each library is asked for the message once; one that has it is noted with the inserts
  // its text names, whether or not this record's inserts fit.
  const auto from = [&](platform::Handle module) -> std::u16string {
    if (std::find(entry.tried.begin(), entry.tried.end(), module) != entry.tried.end()) return {};
    entry.tried.push_back(module);
    std::size_t highest = SIZE_MAX;
    std::u16string text = FormatMessageFrom(module, id, inserts, &highest);
    if (highest != SIZE_MAX) entry.found.push_back({module, highest});
    return text;
  };
  std::string key = platform::Locale().WideToAnsi(source);
  if (key.size() > kMaxKeyLength) key.resize(kMaxKeyLength);
  for (std::size_t i = 0; i < MessageTableLibraryes.Item.size(); ++i) {
    if (MessageTableLibraryes.Item[i].sLibName != key) continue;
    std::u16string text = from(MessageTableLibraryes.Item[i].hLibHandle.get());
    if (!text.empty()) return text;
  }

  const std::u16string registryName = fRegEventList->GetEventLogName(index);
  const std::u16string path = kEventLogKey + registryName + u"\\" + source;
  std::u16string list;
  if (sysutil::RegistryKey::Open(platform::RegRoot::kLocalMachine, path, kSourceKeyAccess)) {
    if (auto sourceKey = sysutil::RegistryKey::Open(platform::RegRoot::kLocalMachine, path,
                                                    platform::access::kKeyRead)) {
      list = sourceKey->ReadString(valueName).value_or(u"");
    } else if (registryName == u"Security") {
      list = kSecurityDefaults;
    }
  }
  if (list.empty()) return {};

  std::size_t start = 0;
  while (start <= list.size()) {
    auto end = list.find(u';', start);
    if (end == std::u16string::npos) end = list.size();
    const std::u16string_view item = std::u16string_view(list).substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    const std::u16string libPath = sysutil::ExpandEnvVars(item);
    if (libPath.empty()) continue;
    // A library this source has cached already gave no text a moment ago: loading and
    // appending it again would only grow the cache.
    const bool cached =
        std::any_of(MessageTableLibraryes.Item.begin(), MessageTableLibraryes.Item.end(),
                    [&](const TFWMessageTableLibrary& e) {
                      return e.sLibName == key && util::EqualsNoCase(e.sLibPath, libPath);
                    });
    if (cached) continue;
    TFWMessageTableLibrary library;
    // A library the process has loaded already is used as it is, with a reference of our
    // own so that its owner cannot unload it while it is cached here.
    library.hLibHandle = OwnedModule(modules.GetModuleHandle(libPath));
    library.bLoaded = true;
    if (library.hLibHandle.get() == 0) {
      platform::ErrorCode error = 0;
      library.hLibHandle = OwnedModule(modules.LoadLibraryAsDataFile(libPath, error));
    }
    // Values this small are no module (the classic failure results).
    if (library.hLibHandle.get() <= kSmallestModuleHandle) continue;
    library.sLibName = key;
    library.sLibPath = libPath;
    const platform::Handle handle = library.hLibHandle.get();
    MessageTableLibraryes.Item.push_back(std::move(library));
    MessageTableLibraryes.Count = static_cast<std::int32_t>(MessageTableLibraryes.Item.size());
    std::u16string text = from(handle);
    if (!text.empty()) return text;
  }
  return {};
}

std::u16string TFWEventLog::GetCategoryText(const std::u16string& source, std::int32_t index,
                                            std::uint16_t category) {
  std::u16string text = LookupMessage(source, FCategoryMessageFile, category, nullptr, index);
  return text.empty() ? FLanguage.GetLocaleString(105) : text;
}

std::u16string TFWEventLog::GetDescriptionText(const std::u16string& source, std::int32_t index,
                                               const std::vector<std::u16string>& inserts,
                                               std::uint32_t eventId) {
  std::u16string text = LookupMessage(source, FEventMessageFile, eventId, &inserts, index);
  if (!text.empty()) return text;
  std::u16string joined;
  for (const auto& s : inserts) {
    joined += s;
    joined += u"\r\n";
  }
  return util::Format(
      FLanguage.GetLocaleString(201),
      {std::int64_t{eventId & 0xFFFF}, std::u16string_view(source), std::u16string_view(joined)});
}

}  // namespace qb
