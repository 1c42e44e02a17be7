// Folder listings the way the host asks for them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "wfxhost/plugin_api.h"

namespace qb::wfxhost {

struct Entry {
  std::u16string name;
  fs::DWORD attributes = 0;
  std::uint64_t size = 0;
  fs::FILETIME lastWrite{};
};

// The remote name of `name` inside the folder `folder` ("\" or "\Log").
std::u16string JoinRemote(std::u16string_view folder, std::u16string_view name);
// "\Log\file" -> {"\Log", "file"}; "\Log" -> {"\", "Log"}.
std::pair<std::u16string, std::u16string> SplitRemote(std::u16string_view remote);

// Lists `path`: FsFindFirstW, FsFindNextW until it answers false, FsFindClose. `onEntry` sees
// each entry as it arrives; after `limit` entries the listing stops early. An invalid handle
// with ERROR_NO_MORE_FILES is an empty folder; any other is a failure, described in `error`.
bool ListFolder(const Plugin& plugin, std::u16string_view path, std::optional<std::size_t> limit,
                const std::function<void(const Entry&)>& onEntry, std::string& error);

// One line of `ls`: flags, size, time and name.
std::string EntryLine(const Entry& entry);

}  // namespace qb::wfxhost
