// The classic .evt event log file: a 48-byte header, then a circular buffer of
// EVENTLOGRECORDs filling the rest of the file, closed by a 40-byte end-of-file record. What
// BackupEventLogW writes and OpenBackupEventLogW reads, and what a live log looks like on disk.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

inline constexpr std::uint32_t kEvtHeaderSize = 0x30;
inline constexpr std::uint32_t kEvtEofRecordSize = 0x28;
// Windows grows and rounds log files in steps of this size.
inline constexpr std::uint32_t kEvtSizeGranularity = 0x10000;

// Header flags.
namespace evtflag {
inline constexpr std::uint32_t kDirty = 0x1;  // the log was open: the header may be stale
inline constexpr std::uint32_t kWrap = 0x2;
inline constexpr std::uint32_t kLogFullWritten = 0x4;
inline constexpr std::uint32_t kArchiveSet = 0x8;
}  // namespace evtflag

struct EvtLog {
  std::vector<platform::Bytes> records;   // oldest first, each a complete EVENTLOGRECORD
  std::uint32_t oldestRecordNumber = 0;   // 0 for an empty log
  std::uint32_t currentRecordNumber = 1;  // the number the next record will get
  std::uint32_t maxSize = 0;
  std::uint32_t retention = 0;
  std::uint32_t flags = 0;
  // The reader stopped at a damaged record or found no end-of-file record: `records` holds
  // the sound records before the damage.
  bool damaged = false;
};

// Reads a file. A file without a sound header gives nullopt with the reason in *error.
// Otherwise the records run from the oldest record to the end-of-file record, which is found
// at the header's EndOffset or, when that is stale (always for a dirty file), by scanning for
// its signature; its offsets and numbers then replace the header's. Records must be framed
// correctly and numbered in increasing order. A file cut short or damaged in the middle gives
// the records before the damage with `damaged` set; one with neither an end-of-file record nor
// a single sound record is rejected. Never throws on any input; the work is bounded by a small
// multiple of the file size.
std::optional<EvtLog> ReadEvtFile(platform::ByteSpan file, std::string* error = nullptr);

struct EvtWriteOptions {
  // The file's size; 0 gives max(MaxSize, what the records need) rounded up to 64 KiB. A size
  // too small for the records is raised to what they need; sizes are rounded up to DWORDs.
  std::uint32_t fileSize = 0;
  // Where the oldest record starts; 0 right after the header. Near the end of the file the
  // records (and the end-of-file record) continue at offset 0x30, split where the file ends.
  std::uint32_t startOffset = 0;
  // A file Windows left open: the dirty flag set and a header still describing the log as it
  // was before its newest record, so only the end-of-file record tells where the log ends.
  bool dirtyStaleHeader = false;
};

// Writes the log as a file. Record numbers in the header come from the records themselves
// when there are any.
platform::Bytes WriteEvtFile(const EvtLog& log, const EvtWriteOptions& options = {});

}  // namespace qb::sim
