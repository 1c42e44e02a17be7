// The process-wide objects of the loaded library and the lock that serialises their use
// between the host's main thread and its background thread.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "eventlog/event_log.h"
#include "eventlog/log_selection.h"
#include "localization/language.h"
#include "plugin/column_reader.h"
#include "plugin/fsplugin.h"

namespace qb::plugin {

// The state of the current directory listing; its address is the search handle.
struct TFindRecord {
  TFileItemList frEventList;  // the records of the log folder listed last
  std::u16string frPath;      // the listed path without its leading backslash
  bool frIsRoot = false;
  // The folders a listing gives before its records: of the root, the folder of all channels
  // after the classic logs; of a folder of channels, its subfolders.
  std::vector<std::u16string> frFolders;
  std::uint32_t frItemIndex = 0;
  // Changes with every listing (and every load): cached column values of an older listing are
  // not used, so a folder shown again after its log changed shows the new records.
  std::uint64_t frSerial = 0;
};

// The record read last for a text column, keyed by its log and number within one listing.
struct ColumnCache {
  bool valid = false;
  std::uint64_t listing = 0;
  std::int32_t log = 0;
  RecordNumber number = 0;
  TFWEventLogRecord record;
};

struct PluginState {
  // Shared: a column reader left behind at an unload keeps the texts it reads.
  std::shared_ptr<TLngResource> language;
  std::unique_ptr<TFWEventLog> eventLog;
  std::unique_ptr<TFindRecord> findRecord;
  // The records behind the text columns, read apart from eventLog on the host's background
  // thread.
  std::unique_ptr<ColumnReader> columns;
  // One cache for the thread that loaded the library (the host's main thread), one for the
  // others (its background thread). Not thread_local: an object with a destructor per thread
  // would keep the library loaded until that thread ends.
  std::array<ColumnCache, 2> columnCaches;
  int pluginNr = 0;
  fs::tProgressProc progress = nullptr;
  fs::tProgressProcW progressW = nullptr;
};

// The state, valid while IsLoaded().
PluginState& State();

// This thread's column cache; under the lock.
ColumnCache& ThreadsColumnCache();

// Whether the load steps have run and the state exists.
bool IsLoaded();

// Counts the loads, under the lock: a thread that let go of the lock for a while tells by it
// whether the state it began with is still the one there.
std::uint64_t LoadCount();

// Serialises every use of the shared objects (event log object, record list, language).
std::recursive_mutex& Lock();

}  // namespace qb::plugin
