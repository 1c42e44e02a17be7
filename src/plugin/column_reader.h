// The records behind the custom columns, read on the host's background thread with an event
// log object of their own, so that neither the service calls nor the formatting hold the
// plugin-wide lock. When the host walks a long list (sorting by a column, searching in one),
// each service call brings a run of records in the direction it walks, kept in a bounded cache.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "eventlog/event_log.h"
#include "eventlog/raw_record.h"

namespace qb::plugin {

class ColumnReader {
 public:
  // Everything the reader keeps of a log: the raw records, their index and the read buffer.
  static constexpr std::size_t kCacheBytes = 4 * 1024 * 1024;

  // Shares `main`'s catalogue (a log index means the same log to both) and account names.
  ColumnReader(std::shared_ptr<TLngResource> language, const TFWEventLog& main);
  ~ColumnReader();
  ColumnReader(const ColumnReader&) = delete;
  ColumnReader& operator=(const ColumnReader&) = delete;

  // A thread's use of the reader, begun under the plugin-wide lock before letting go of it: an
  // unload, which holds that lock, then knows the reader is busy.
  class Use {
   public:
    explicit Use(ColumnReader& reader) : reader_(&reader) { ++reader.fUsers; }
    ~Use() { --reader_->fUsers; }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    ColumnReader* reader_;
  };
  // Whether a thread is using the reader; asked under the plugin-wide lock.
  bool Busy() const { return fUsers.load() != 0; }

  // Record `number` of log `index`, decoded in full. `listing` names the listing (and what was
  // done to the log since) the request belongs to: the cache holds one listing's records.
  // False when the record is not in the log (overwritten or cleared since the listing).
  bool Fetch(std::int32_t index, std::uint64_t listing, RecordNumber number,
             TFWEventLogRecord& record);

  // The event code of a record, read without the full decoding (no account, no message text),
  // for the main thread, which never waits: false when another thread is using the reader.
  // `code` is empty when the record is not in the log.
  bool TryEventCode(std::int32_t index, std::uint64_t listing, RecordNumber number,
                    std::optional<std::uint32_t>& code);

  // The log was closed or is listed again: the records read, the log's handle and its message
  // libraries go. Never waits: a reader busy on another thread lets go at the end of its fetch.
  void Reset();

  // Service calls made so far, and the bytes held now, for tests and measurements.
  std::uint64_t ServiceCalls();
  std::size_t CachedBytes();
  // The library is unloading: nothing may wait or free a library from now on.
  void PrepareForUnload() { fUnloading = true; }

 private:
  // The records one service call brought, and their numbers with their offsets, by number;
  // of a channel, the events one query brought, decoded (by number).
  struct Run {
    std::vector<std::byte> bytes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    std::vector<TFWEventLogRecord> records;
    std::size_t Footprint() const;
  };
  // Picks the log of `index` within `listing`, letting go of what belongs to another.
  bool Select(std::int32_t index, std::uint64_t listing);
  // The raw record `number` of the log, from the cache or read with the records beyond it.
  std::optional<RawEventRecord> Locate(std::int32_t index, std::uint64_t listing,
                                       RecordNumber number);
  std::optional<RawEventRecord> Cached(std::uint32_t number) const;
  bool Load(std::uint32_t number);
  // The same for a channel's events.
  const TFWEventLogRecord* LocateEvent(std::int32_t index, std::uint64_t listing,
                                       RecordNumber number);
  const TFWEventLogRecord* CachedEvent(RecordNumber number) const;
  bool LoadEvents(RecordNumber number);
  void Keep(Run run);
  void DropAll();

  std::shared_ptr<TLngResource> fLanguage;  // the reader's log object reads its texts
  std::unique_ptr<TFWEventLog> fLog;
  std::mutex fMutex;
  std::atomic<int> fUsers{0};
  std::atomic<bool> fStale{false};  // a Reset came while another thread was using the reader
  std::atomic<bool> fUnloading{false};
  bool fKeyed = false;  // fIndex and fListing name what the cache holds
  std::int32_t fIndex = 0;
  std::uint64_t fListing = 0;
  std::optional<RecordNumber> fLast;  // the number asked for last: the direction of the walk
  std::vector<std::byte> fBuffer;
  std::deque<Run> fRuns;  // oldest first, dropped first when full
  std::size_t fBytes = 0;
};

}  // namespace qb::plugin
