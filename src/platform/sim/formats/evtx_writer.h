// Writes .evtx files: events given as a template (or plain element tree) with substitution
// values, encoded as Windows does (template definitions and names written once per chunk and
// referred to by offset after, the chunk's string and template tables filled, chunks filled
// up to 64 KiB, checksums, a header with the right counts), streamed chunk by chunk to a sink.
// Options make the damage and the states readers must cope with.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sim/formats/byte_source.h"
#include "platform/sim/formats/evtx_template.h"
#include "platform/types.h"

namespace qb::sim {

class EvtxEventReader;

struct EvtxEvent {
  EvtxFragment body;
  std::uint64_t recordId = 0;  // the record header's number; 0: one more than the previous
  std::uint64_t written = 0;   // FILETIME the record was written
};

struct EvtxWriterOptions {
  std::uint16_t minorVersion = 1;  // format 3.1 or 3.2
  std::uint64_t firstRecordId = 1;
  // Slots the file holds; 0: as many as there are chunks. When more chunks are written than
  // there are slots the log wraps: a new chunk takes the slot of the oldest, whose records
  // are gone, as in a circular log.
  std::uint32_t slots = 0;
  std::uint32_t firstSlot = 0;  // the slot of the first chunk
  bool dirty = false;           // the log was not closed
  bool full = false;
  // A header describing only the first n chunks (count, last chunk, next record identifier),
  // as one left behind by a crash.
  std::optional<std::uint16_t> headerChunkCount;
  // Damage, by chunk number in writing order (0 for the first chunk).
  std::vector<std::uint32_t> badSignatureChunks;
  std::vector<std::uint32_t> badHeaderCrcChunks;
  std::vector<std::uint32_t> badDataCrcChunks;
  // Records (by record header number) whose trailing size copy disagrees with the leading.
  std::vector<std::uint64_t> badTrailingSizeRecords;
  // Each chunk's free space holds a copy of its last record with the next number, as an
  // older record left behind, outside the checked data (chunks are filled less to leave
  // room for it).
  bool staleCopies = false;
};

class EvtxWriter {
 public:
  EvtxWriter(ByteSink& sink, EvtxWriterOptions options = {});
  ~EvtxWriter();
  EvtxWriter(const EvtxWriter&) = delete;
  EvtxWriter& operator=(const EvtxWriter&) = delete;

  // Appends one event. False when it cannot be written: too large for a chunk, a malformed
  // tree (a substitution outside a template, nesting too deep), a value over 64 KiB, a failed
  // write. A failed event leaves the file as it was.
  bool Write(const EvtxEvent& event);
  // Writes the last chunk and the header. False when a write failed.
  bool Finish();

  std::uint64_t recordsWritten() const { return records_; }
  std::uint32_t chunksWritten() const { return chunks_; }

 private:
  class Chunk;

  bool FlushChunk();
  std::array<std::byte, 16> GuidOf(const EvtxTemplate& templ,
                                   const std::shared_ptr<const EvtxTemplate>& owner);

  ByteSink& sink_;
  EvtxWriterOptions options_;
  std::unique_ptr<Chunk> chunk_;
  std::uint64_t nextId_;
  std::uint64_t records_ = 0;
  std::uint32_t chunks_ = 0;
  bool failed_ = false;
  bool finished_ = false;
  std::vector<std::uint64_t> lastIds_;  // per chunk written: its last record identifier
  std::vector<bool> writtenSlots_;
  // Templates without a GUID get one from their contents; kept alive while cached.
  std::unordered_map<const EvtxTemplate*,
                     std::pair<std::shared_ptr<const EvtxTemplate>, std::array<std::byte, 16>>>
      guids_;
};

// Writes the events as a file in memory.
platform::Bytes WriteEvtxFile(std::span<const EvtxEvent> events,
                              const EvtxWriterOptions& options = {});

// Writes every event `reader` can read from its file into `writer`, oldest first: the record
// headers are numbered anew by the writer (as an exported or backed-up log is), each event
// keeps its EventRecordID and written time. Returns the events written.
std::uint64_t CopyEvtxEvents(EvtxEventReader& reader, EvtxWriter& writer);

// The hash of names in Binary XML and the chunk's tables (the low 16 bits of a x65599 hash).
std::uint16_t EvtxNameHash(std::u16string_view name);

}  // namespace qb::sim
