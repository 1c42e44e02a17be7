#include "eventlog/log_selection.h"

namespace qb {

std::int32_t LogIndexOf(const TFWEventLog& log, std::u16string_view displayName) {
  const auto& catalogue = log.Catalogue();
  for (std::int32_t i = 1; i < catalogue.EventLogCount(); ++i) {
    if (catalogue.GetEventLogDisplayName(i) == displayName) return i;
  }
  const auto folder = ChannelFolderOf(log, displayName);
  if (folder && folder->channel) {
    return kFirstChannelIndex + static_cast<std::int32_t>(*folder->channel);
  }
  return 0;
}

std::optional<TChannelList::Folder> ChannelFolderOf(const TFWEventLog& log,
                                                    std::u16string_view displayName) {
  const std::u16string root = log.ChannelsFolderName();
  if (!displayName.starts_with(root)) return std::nullopt;
  std::u16string_view rest = displayName.substr(root.size());
  if (!rest.empty() && rest.front() != u'\\') return std::nullopt;
  // Only a name under the channels' folder asks the channel service (once).
  std::vector<std::u16string> components;
  while (!rest.empty()) {
    rest.remove_prefix(1);
    const auto next = rest.find(u'\\');
    components.emplace_back(rest.substr(0, next));
    rest = next == std::u16string_view::npos ? std::u16string_view() : rest.substr(next);
  }
  return log.Channels().Find(components);
}

bool OpenLogAt(TFWEventLog& log, std::int32_t index) {
  if (index <= 0) return false;
  if (log.OpenState().Has(TFSOpenState::osRead)) {
    if (log.ReadSourceType() == index) return true;
    log.Close(TFSOpenState::osRead);
  }
  return log.Open(index, TFSOpenState::osRead);
}

bool OpenLogNamed(TFWEventLog& log, std::u16string_view displayName) {
  return OpenLogAt(log, LogIndexOf(log, displayName));
}

}  // namespace qb
