// The records behind the custom columns, read on the host's background thread with an event
// log object of their own, so that neither the service calls nor the formatting hold the
// plugin-wide lock. When the host walks a long list (sorting by a column, searching in one),
// each service call brings a run of records in the direction it walks, kept in a bounded cache.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "eventlog/event_log.h"

namespace qb::plugin {

class ColumnReader {
 public:
  static constexpr std::size_t kCacheBytes = 4 * 1024 * 1024;

  explicit ColumnReader(TLngResource& language) : fLanguage(language) {}
  ~ColumnReader();
  ColumnReader(const ColumnReader&) = delete;
  ColumnReader& operator=(const ColumnReader&) = delete;

  // Record `number` of log `index`, decoded in full. `listing` names the listing (and what was
  // done to the log since) the request belongs to: the cache holds one listing's records.
  // False when the record is not in the log (overwritten or cleared since the listing).
  bool Fetch(std::int32_t index, std::uint64_t listing, std::uint32_t number,
             TFWEventLogRecord& record);

  // Reading a run of records at a time; off, every record is a service call of its own.
  void SetReadAhead(bool on);
  // Service calls made so far.
  std::uint64_t ServiceCalls();
  // The library is unloading: nothing may wait or free a library from now on.
  void PrepareForUnload();

 private:
  bool Load(std::uint32_t number);
  void Keep(std::uint32_t number, std::span<const std::byte> raw);
  void Drop();

  TLngResource& fLanguage;
  std::mutex fMutex;
  std::unique_ptr<TFWEventLog> fLog;  // made at the first request
  std::int32_t fIndex = 0;
  std::uint64_t fListing = 0;
  std::optional<std::uint32_t> fLast;  // the number asked for last: the direction of the walk
  bool fReadAhead = true;
  std::vector<std::byte> fBuffer;
  std::unordered_map<std::uint32_t, std::vector<std::byte>> fRaw;
  std::deque<std::uint32_t> fOrder;  // oldest first, for dropping when full
  std::size_t fBytes = 0;
  bool fUnloading = false;
};

}  // namespace qb::plugin
