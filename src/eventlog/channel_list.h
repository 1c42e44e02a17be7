// The channels of the computer that are not classic logs ("Applications and Services Logs"),
// read once through the channel service, and the folders Windows' own viewer shows them in:
// the name split at "/", a name beginning "Microsoft-Windows-" under Microsoft\Windows.
// Analytic and Debug channels are left out, as that viewer leaves them out by default.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb {

struct TChannelItem {
  std::u16string ciPath;                  // the channel's name, as the service names it
  std::vector<std::u16string> ciFolders;  // its folders below the folder of all channels
  std::u16string ciFile;                  // its log file, expanded; empty when none is named
  std::uint32_t ciType = 0;               // EvtChannelType
  bool ciEnabled = false;
};

class TChannelList {
 public:
  // An empty list that no service has answered for.
  TChannelList() = default;
  // Asks the channel service. Where there is none (Windows XP and 2003) the list is empty and
  // not available.
  static std::shared_ptr<const TChannelList> Read();

  // Whether the service answered: the folder of all channels is listed only then.
  bool Available() const { return fAvailable; }
  std::size_t Count() const { return fItems.size(); }
  const TChannelItem& Item(std::size_t index) const { return fItems.at(index); }

  // A folder below the folder of all channels, by its path's components (empty: that folder
  // itself): its subfolders' names in the order they are listed, and the channel it is, if
  // any. nullopt when there is no such folder.
  struct Folder {
    std::vector<std::u16string> subfolders;
    std::optional<std::size_t> channel;
  };
  std::optional<Folder> Find(std::span<const std::u16string> components) const;

  // The components a channel's name is shown under.
  static std::vector<std::u16string> FoldersOf(std::u16string_view channelPath);

  // The channel of this name (exact match).
  std::optional<std::size_t> IndexOf(std::u16string_view channelPath) const;

 private:
  bool fAvailable = false;
  std::vector<TChannelItem> fItems;  // sorted by their folders, without regard to case
};

}  // namespace qb
