// An .evtx log read through the classic event log calls: the events numbered by their
// EventRecordID and handed out as EVENTLOGRECORDs, found by number without holding the file.
//
// The store indexes the file once, on first use: for each sound chunk its first and last
// number (and, only where the numbers have gaps, each record's). Records whose event cannot be
// read, and any whose number does not follow the one before, are passed over, so the numbers
// ascend through the whole log. A cursor reads records one chunk at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/formats/evtx_classic_record.h"
#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_file.h"
#include "platform/sim/formats/evtx_writer.h"

namespace qb::sim {

// Neither class is safe for concurrent use; the event log service calls them under its lock.
class EvtxRecordStore {
 public:
  // nullptr, with the reason in *error, when the source is no .evtx file.
  static std::shared_ptr<EvtxRecordStore> Open(std::shared_ptr<const ByteSource> source,
                                               std::string* error = nullptr);

  std::uint64_t count();
  // Numbers of the oldest and the newest record; 0 when there are none.
  std::uint64_t oldest();
  std::uint64_t newest();
  // The number the next event written to the log would get.
  std::uint64_t nextNumber();
  // Damaged chunks and records found by the indexing.
  std::uint32_t chunksPassedOver() const { return file_->chunksPassedOver(); }
  std::uint64_t recordsPassedOver() const { return file_->recordsPassedOver(); }

 private:
  friend class EvtxRecordCursor;
  struct Key {};

 public:
  EvtxRecordStore(Key, std::unique_ptr<EvtxFile> file) : file_(std::move(file)) {}

 private:
  struct Chunk {
    std::uint32_t slot = 0;
    std::uint64_t first = 0, last = 0;  // numbers of its first and last kept record
    // Numbers and record indexes of the kept records; empty when those are the chunk's records
    // numbered first, first + 1, ... with none passed over.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> numbers;
  };
  void Index();

  std::unique_ptr<EvtxFile> file_;
  bool indexed_ = false;
  std::vector<Chunk> chunks_;
  std::uint64_t count_ = 0;
};

class EvtxRecordCursor {
 public:
  explicit EvtxRecordCursor(std::shared_ptr<EvtxRecordStore> store);

  const std::shared_ptr<EvtxRecordStore>& store() const { return store_; }

  struct Found {
    std::uint64_t number = 0;
    platform::ByteSpan record;  // the EVENTLOGRECORD, valid until the next call
  };
  // The record with this number or, when there is none, the nearest one after it (forwards)
  // or before it; nullopt when the log has none there.
  std::optional<Found> Find(std::uint64_t number, bool forwards);

  // Writes every record's event into `writer`, oldest first, under its own number. The events
  // written.
  std::uint64_t CopyTo(EvtxWriter& writer);

 private:
  bool Select(std::size_t chunk);
  // The index in the chunk's record list of its kept record number `k`, and that record's
  // number.
  std::pair<std::uint32_t, std::uint64_t> Entry(const EvtxRecordStore::Chunk& chunk,
                                                std::size_t k) const;
  std::size_t KeptCount(const EvtxRecordStore::Chunk& chunk) const;
  bool Convert(std::uint32_t index, std::uint64_t number);

  std::shared_ptr<EvtxRecordStore> store_;
  EvtxEventReader reader_;
  std::size_t current_ = SIZE_MAX;
  platform::Bytes record_;
  EvtxSystem system_;
  std::vector<EvtxDataItem> data_;
  platform::Bytes binary_;
};

}  // namespace qb::sim
