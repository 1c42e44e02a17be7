#include "eventlog/channel_list.h"

#include <algorithm>

#include "platform/platform.h"
#include "sysutil/environment.h"

namespace qb {
namespace {

namespace err = platform::err;
using platform::EvtChannelConfig;

constexpr std::u16string_view kMicrosoftWindows = u"Microsoft-Windows-";

// Closes a handle of the channel service.
struct ChannelHandle {
  platform::Handle value = 0;
  ChannelHandle() = default;
  ChannelHandle(const ChannelHandle&) = delete;
  ChannelHandle& operator=(const ChannelHandle&) = delete;
  ~ChannelHandle() {
    if (value != 0) platform::Channels().Close(value);
  }
};

std::optional<platform::EvtValue> Property(platform::Handle config, EvtChannelConfig id) {
  platform::EvtValue value;
  if (platform::Channels().GetChannelConfigProperty(config, id, value) != err::kSuccess ||
      value.IsNull()) {
    return std::nullopt;
  }
  return value;
}

bool Less(std::span<const std::u16string> a, std::span<const std::u16string> b) {
  auto& locale = platform::Locale();
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const int order = locale.CompareNoCase(a[i], b[i]);
    if (order != 0) return order < 0;
  }
  return a.size() < b.size();
}

}  // namespace

std::vector<std::u16string> TChannelList::FoldersOf(std::u16string_view channelPath) {
  std::vector<std::u16string> folders;
  std::size_t start = 0;
  for (;;) {
    const auto slash = channelPath.find(u'/', start);
    const auto part = channelPath.substr(
        start, slash == std::u16string_view::npos ? std::u16string_view::npos : slash - start);
    if (folders.empty() && part.starts_with(kMicrosoftWindows) &&
        part.size() > kMicrosoftWindows.size()) {
      folders.emplace_back(u"Microsoft");
      folders.emplace_back(u"Windows");
      folders.emplace_back(part.substr(kMicrosoftWindows.size()));
    } else if (!part.empty()) {
      folders.emplace_back(part);
    }
    if (slash == std::u16string_view::npos) break;
    start = slash + 1;
  }
  return folders;
}

std::shared_ptr<const TChannelList> TChannelList::Read() {
  auto list = std::make_shared<TChannelList>();
  auto& service = platform::Channels();
  ChannelHandle channels;
  if (service.OpenChannelEnum(channels.value) != err::kSuccess) return list;
  list->fAvailable = true;
  std::u16string path;
  while (service.NextChannelPath(channels.value, path) == err::kSuccess) {
    ChannelHandle config;
    if (service.OpenChannelConfig(path, config.value) != err::kSuccess) continue;
    // The classic logs are listed at the root, as ever.
    const auto classic = Property(config.value, EvtChannelConfig::kClassicEventlog);
    if (classic && classic->number != 0) continue;
    TChannelItem item;
    item.ciPath = path;
    if (const auto type = Property(config.value, EvtChannelConfig::kType)) {
      item.ciType = static_cast<std::uint32_t>(type->number);
    }
    if (item.ciType == platform::evtchannel::kAnalytic ||
        item.ciType == platform::evtchannel::kDebug) {
      continue;
    }
    if (const auto enabled = Property(config.value, EvtChannelConfig::kEnabled)) {
      item.ciEnabled = enabled->number != 0;
    }
    if (const auto file = Property(config.value, EvtChannelConfig::kLogFilePath)) {
      item.ciFile = sysutil::ExpandEnvVars(file->text);
    }
    item.ciFolders = FoldersOf(path);
    if (item.ciFolders.empty()) continue;
    list->fItems.push_back(std::move(item));
  }
  std::stable_sort(
      list->fItems.begin(), list->fItems.end(),
      [](const TChannelItem& a, const TChannelItem& b) { return Less(a.ciFolders, b.ciFolders); });
  return list;
}

std::optional<TChannelList::Folder> TChannelList::Find(
    std::span<const std::u16string> components) const {
  Folder folder;
  bool exists = components.empty() && fAvailable;
  for (std::size_t i = 0; i < fItems.size(); ++i) {
    const auto& folders = fItems[i].ciFolders;
    if (folders.size() < components.size() ||
        !std::equal(components.begin(), components.end(), folders.begin())) {
      continue;
    }
    exists = true;
    if (folders.size() == components.size()) {
      // Of two channels that end up with one name, the first is the one shown.
      if (!folder.channel) folder.channel = i;
      continue;
    }
    // Sorted items give each subfolder's channels one after another.
    const std::u16string& next = folders[components.size()];
    if (folder.subfolders.empty() || folder.subfolders.back() != next) {
      folder.subfolders.push_back(next);
    }
  }
  if (!exists) return std::nullopt;
  return folder;
}

std::optional<std::size_t> TChannelList::IndexOf(std::u16string_view channelPath) const {
  for (std::size_t i = 0; i < fItems.size(); ++i) {
    if (fItems[i].ciPath == channelPath) return i;
  }
  return std::nullopt;
}

}  // namespace qb
