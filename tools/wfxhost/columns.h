// The plugin's custom columns, fetched the way the host fetches them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "wfxhost/plugin_api.h"

namespace qb::wfxhost {

struct Field {
  int index = 0;
  std::string name;
  std::string units;
  int type = 0;
};

// FsContentGetSupportedField from index 0 until ft_nomorefields.
std::vector<Field> SupportedFields(const host::PluginExports& api);

struct DefaultView {
  std::string contents, headers, widths, options;
};
// FsContentGetDefaultViewW; nullopt when the plugin has no default view.
std::optional<DefaultView> GetDefaultView(const host::PluginExports& api);

// Bytes the host offers for one value.
inline constexpr int kValueBufferSize = 4096;

// The text of a value FsContentGetValueW answered `result` for. Values that are no value
// (ft_fileerror, ...) give a marker in angle brackets; an empty field gives "".
std::string ValueText(int result, std::span<const std::byte> buffer);

// Fetches the columns of listed entries as the host does: every value first on the calling
// thread with CONTENT_DELAYIFSLOW; the ones the plugin answers ft_delayed for go to a second
// thread, which asks again without the flag while the caller carries on listing.
class ColumnFetcher {
 public:
  ColumnFetcher(const host::PluginExports& api, std::vector<Field> fields);
  ~ColumnFetcher();
  ColumnFetcher(const ColumnFetcher&) = delete;
  ColumnFetcher& operator=(const ColumnFetcher&) = delete;

  // Adds a row: the values of every field for the entry `remoteName`.
  void Request(const std::u16string& remoteName);
  // Waits for the delayed values; then the rows, one text per field, in request order.
  std::vector<std::vector<std::string>> Finish();

  struct Stats {
    std::size_t immediate = 0;
    std::size_t delayed = 0;
    // Every delayed value was fetched on a thread other than the one that requested it.
    bool delayedOffThread = true;
  };
  Stats stats() const;

 private:
  struct Job {
    std::size_t row = 0;
    std::size_t column = 0;
    std::u16string remoteName;
  };
  std::string Fetch(const std::u16string& remoteName, const Field& field, int flags, int& result);
  void Work();

  host::PluginExports api_;
  std::vector<Field> fields_;
  std::thread::id requester_ = std::this_thread::get_id();
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool finishing_ = false;
  std::vector<std::vector<std::string>> rows_;
  Stats stats_;
  std::thread worker_;  // last: it starts once everything it uses exists
};

}  // namespace qb::wfxhost
