// The .evtx container: a 4 KiB file header, then 64 KiB chunk slots, each chunk a 512-byte
// header (with its string and template tables) and event records from offset 512 up to the
// chunk's free-space offset. What the event log service keeps a channel in.
//
// The reader trusts the file size, not the header, for the number of slots (a header left
// behind by a crash counts fewer chunks than the file holds), checks every chunk's signature
// and checksums, passes over damaged chunks and records and counts them, and holds only the
// chunk it is reading.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/sim/formats/byte_source.h"
#include "platform/types.h"

namespace qb::sim {

inline constexpr std::uint32_t kEvtxHeaderBlockSize = 0x1000;
inline constexpr std::uint32_t kEvtxFileHeaderSize = 128;
inline constexpr std::uint32_t kEvtxChunkSize = 0x10000;
inline constexpr std::uint32_t kEvtxChunkHeaderSize = 0x200;
// Signature, size, record identifier and written time; the Binary XML follows.
inline constexpr std::uint32_t kEvtxRecordHeaderSize = 24;
// The header and the trailing copy of the size.
inline constexpr std::uint32_t kEvtxRecordMinSize = kEvtxRecordHeaderSize + 4;
inline constexpr std::uint32_t kEvtxRecordSignature = 0x00002a2a;

// File header flags.
namespace evtxflag {
inline constexpr std::uint32_t kDirty = 0x1;  // the log was open: the header may be stale
inline constexpr std::uint32_t kFull = 0x2;
}  // namespace evtxflag

// Chunk header field offsets (the writer fills the same ones).
namespace chunkfield {
inline constexpr std::size_t kFirstRecordNumber = 8;
inline constexpr std::size_t kLastRecordNumber = 16;
inline constexpr std::size_t kFirstRecordId = 24;
inline constexpr std::size_t kLastRecordId = 32;
inline constexpr std::size_t kHeaderSize = 40;
inline constexpr std::size_t kLastRecordOffset = 44;
inline constexpr std::size_t kFreeSpaceOffset = 48;
inline constexpr std::size_t kDataCrc = 52;
inline constexpr std::size_t kFlags = 120;
inline constexpr std::size_t kHeaderCrc = 124;
inline constexpr std::size_t kStringTable = 128;    // 64 offsets of names, by hash
inline constexpr std::size_t kTemplateTable = 384;  // 32 offsets of template definitions
inline constexpr std::size_t kStringBuckets = 64;
inline constexpr std::size_t kTemplateBuckets = 32;
}  // namespace chunkfield

struct EvtxFileHeader {
  std::uint64_t firstChunk = 0;  // slot of the oldest chunk
  std::uint64_t lastChunk = 0;   // slot of the newest chunk
  std::uint64_t nextRecordId = 0;
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::uint16_t chunkCount = 0;  // as the header says; the file may hold more
  std::uint32_t flags = 0;
  bool checksumOk = false;
};

struct EvtxChunkHeader {
  std::uint64_t firstRecordNumber = 0, lastRecordNumber = 0;
  std::uint64_t firstRecordId = 0, lastRecordId = 0;
  std::uint32_t lastRecordOffset = 0;
  std::uint32_t freeSpaceOffset = 0;
  std::uint32_t flags = 0;
};

// A record inside a loaded chunk: where it lies (offsets within the chunk) and its header.
struct EvtxRecordRef {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::uint64_t id = 0;       // the record header's number
  std::uint64_t written = 0;  // FILETIME the record was written
};

// One chunk in memory with its sound records in file order.
class EvtxChunk {
 public:
  EvtxChunk() : bytes_(kEvtxChunkSize) {}

  std::uint32_t slot() const { return slot_; }
  const EvtxChunkHeader& header() const { return header_; }
  platform::ByteSpan bytes() const { return bytes_; }
  std::span<const EvtxRecordRef> records() const { return records_; }
  // Records that were not framed soundly (signature, size, trailing size copy, past the free
  // space); the walk went on at the next sound record.
  std::uint32_t recordsPassedOver() const { return recordsPassedOver_; }
  // Changes on every load, so caches of what the chunk holds know when they are stale.
  std::uint64_t generation() const { return generation_; }

 private:
  friend class EvtxFile;

  platform::Bytes bytes_;
  std::uint32_t slot_ = 0;
  EvtxChunkHeader header_;
  std::vector<EvtxRecordRef> records_;
  std::uint32_t recordsPassedOver_ = 0;
  std::uint64_t generation_ = 0;
};

enum class EvtxSlotState : std::uint8_t {
  // Not loaded yet: a sound chunk header (the data is checked when the chunk is loaded), or
  // a header of zeros (empty when the whole slot is).
  kUnchecked,
  kSound,
  kDamaged,
  kEmpty,  // all zeros: room the log has not used yet
};

// Not safe for concurrent use: loading records what it finds.
class EvtxFile {
 public:
  // Reads the file header and every slot's chunk header. nullptr (with the reason in *error)
  // when the file is not an .evtx log of format 3.
  static std::unique_ptr<EvtxFile> Open(std::shared_ptr<const ByteSource> source,
                                        std::string* error = nullptr);

  const EvtxFileHeader& header() const { return header_; }
  // (file size - header block) / 64 KiB, whatever the header counts.
  std::uint32_t slotCount() const { return static_cast<std::uint32_t>(states_.size()); }
  EvtxSlotState state(std::uint32_t slot) const { return states_.at(slot); }
  // The slots whose chunk header is sound, ordered by their first record identifier: oldest
  // first even when the log has wrapped. Read backwards for newest first.
  std::span<const std::uint32_t> order() const { return order_; }

  // Reads and checks a slot into `chunk`. False for an empty or damaged slot (counted) and when
  // the source cannot be read.
  bool LoadChunk(std::uint32_t slot, EvtxChunk& chunk);

  // Damaged chunks found so far: at opening (signature, header checksum) and at loading (data
  // checksum, free-space offset, a slot with a header of zeros but data).
  std::uint32_t chunksPassedOver() const;
  // Damaged records in the sound chunks loaded so far.
  std::uint64_t recordsPassedOver() const { return recordsPassedOver_; }
  // Loads every slot not loaded yet, so the counts above cover the whole file.
  void CheckAllChunks();

 private:
  struct Key {};

 public:
  EvtxFile(Key, std::shared_ptr<const ByteSource> source) : source_(std::move(source)) {}

 private:
  std::shared_ptr<const ByteSource> source_;
  EvtxFileHeader header_;
  std::vector<EvtxSlotState> states_;
  std::vector<std::uint32_t> order_;
  std::vector<bool> counted_;  // the slot's damaged records are in recordsPassedOver_
  std::uint64_t recordsPassedOver_ = 0;
  std::uint64_t loads_ = 0;
};

// The checksum a chunk header carries: over its first 120 bytes and bytes 128 to 512.
std::uint32_t EvtxChunkHeaderCrc(platform::ByteSpan chunk);

}  // namespace qb::sim
