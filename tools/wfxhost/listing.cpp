#include "wfxhost/listing.h"

#include <cstdio>
#include <vector>

#include "wfxhost/formatting.h"
#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

constexpr std::uint32_t kErrorNoMoreFiles = 18;

Entry EntryOf(const fs::WIN32_FIND_DATAW& data) {
  return Entry{FromBuffer(data.cFileName, fs::kMaxPath), data.dwFileAttributes, FileSize(data),
               data.ftLastWriteTime};
}

}  // namespace

std::u16string JoinRemote(std::u16string_view folder, std::u16string_view name) {
  std::u16string remote(folder);
  if (remote.empty() || remote.back() != u'\\') remote += u'\\';
  return remote + std::u16string(name);
}

std::pair<std::u16string, std::u16string> SplitRemote(std::u16string_view remote) {
  const auto slash = remote.find_last_of(u'\\');
  if (slash == std::u16string_view::npos) return {u"\\", std::u16string(remote)};
  std::u16string folder(remote.substr(0, slash));
  if (folder.empty()) folder = u"\\";
  return {folder, std::u16string(remote.substr(slash + 1))};
}

bool ListFolder(const Plugin& plugin, std::u16string_view path, std::optional<std::size_t> limit,
                const std::function<void(const Entry&)>& onEntry, std::string& error) {
  const auto& api = plugin.api;
  if (!api.FsFindFirstW || !api.FsFindNextW || !api.FsFindClose) {
    error = "the plugin does not export FsFindFirstW, FsFindNextW and FsFindClose";
    return false;
  }
  if (path.size() >= fs::kMaxPath) {
    error = "the path is longer than the host's buffers (" + std::to_string(fs::kMaxPath - 1) +
            " characters)";
    return false;
  }
  // The host passes a buffer of its own that the plugin may scribble on.
  std::vector<fs::WCHAR> buffer(fs::kMaxPath, 0);
  std::copy(path.begin(), path.end(), buffer.begin());
  fs::WIN32_FIND_DATAW data{};
  const fs::HANDLE find = api.FsFindFirstW(buffer.data(), &data);
  if (find == fs::kInvalidHandleValue) {
    const std::uint32_t code = plugin.environment.lastError();
    if (code == kErrorNoMoreFiles) return true;
    error = "FsFindFirstW(\"" + ToUtf8(path) + "\") failed: " + LastErrorText(code);
    return false;
  }
  std::size_t count = 0;
  bool more = !limit || *limit > 0;
  while (more) {
    onEntry(EntryOf(data));
    // Past the limit the plugin is not asked for another entry.
    if (limit && ++count >= *limit) break;
    data = {};
    more = api.FsFindNextW(find, &data) != fs::kFalse;
  }
  api.FsFindClose(find);
  return true;
}

std::string EntryLine(const Entry& entry) {
  char size[24];
  std::snprintf(size, sizeof size, "%10llu", static_cast<unsigned long long>(entry.size));
  std::string time = FileTimeText(entry.lastWrite);
  // Entries without a time keep the names in one column.
  constexpr std::size_t kTimeWidth = 20;
  if (time.size() < kTimeWidth) time.resize(kTimeWidth, ' ');
  return AttributeText(entry.attributes) + " " + size + " " + time + " " + ToUtf8(entry.name);
}

}  // namespace qb::wfxhost
