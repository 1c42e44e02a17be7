#include "platform/sim/formats/evt_file.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/sim/formats/event_record.h"

namespace qb::sim {
namespace {

using platform::Bytes;
using platform::ByteSpan;

// Header field offsets.
namespace hdr {
constexpr std::size_t kHeaderSize = 0;
constexpr std::size_t kSignature = 4;
constexpr std::size_t kMajorVersion = 8;
constexpr std::size_t kMinorVersion = 12;
constexpr std::size_t kStartOffset = 16;
constexpr std::size_t kEndOffset = 20;
constexpr std::size_t kCurrentRecordNumber = 24;
constexpr std::size_t kOldestRecordNumber = 28;
constexpr std::size_t kMaxSize = 32;
constexpr std::size_t kFlags = 36;
constexpr std::size_t kRetention = 40;
constexpr std::size_t kEndHeaderSize = 44;
}  // namespace hdr

// The end-of-file record: four marker DWORDs between two copies of its size, then the
// log's offsets and numbers.
constexpr std::array<std::uint32_t, 5> kEofMarker = {kEvtEofRecordSize, 0x11111111, 0x22222222,
                                                     0x33333333, 0x44444444};
constexpr std::size_t kEofBegin = 20;
constexpr std::size_t kEofEnd = 24;
constexpr std::size_t kEofCurrent = 28;
constexpr std::size_t kEofOldest = 32;
constexpr std::size_t kEofSizeEnd = 36;

// Fills the unused space at the end of the file when a record header would not fit there.
constexpr std::uint32_t kSkipDword = kEvtEofRecordSize - 1;

// The circular record area [kEvtHeaderSize, end) of a file; `end` is a DWORD boundary.
class Ring {
 public:
  Ring(ByteSpan file, std::uint32_t end) : file_(file), end_(end) {}

  std::uint32_t size() const { return end_ - kEvtHeaderSize; }

  // A record boundary inside the area.
  bool ValidPosition(std::uint32_t pos) const {
    return pos >= kEvtHeaderSize && pos < end_ && (pos - kEvtHeaderSize) % 4 == 0;
  }

  std::uint32_t Advance(std::uint32_t pos, std::uint32_t count) const {
    const std::uint64_t rel = std::uint64_t{pos - kEvtHeaderSize} + count;
    return static_cast<std::uint32_t>(kEvtHeaderSize + rel % size());
  }

  // Bytes from `from` up to `to` going forwards; 0 when they are the same.
  std::uint32_t Distance(std::uint32_t from, std::uint32_t to) const {
    return to >= from ? to - from : (end_ - from) + (to - kEvtHeaderSize);
  }

  // `count` (at most size()) bytes from `pos`, continuing at the start of the area.
  Bytes Copy(std::uint32_t pos, std::uint32_t count) const {
    Bytes out;
    out.reserve(count);
    const std::uint32_t first = std::min(count, end_ - pos);
    out.insert(out.end(), file_.begin() + pos, file_.begin() + pos + first);
    out.insert(out.end(), file_.begin() + kEvtHeaderSize,
               file_.begin() + kEvtHeaderSize + (count - first));
    return out;
  }

  // Bytes up to the end of the file.
  std::uint32_t ToEnd(std::uint32_t pos) const { return end_ - pos; }

  // A DWORD at a DWORD boundary never straddles the end; the general case costs little.
  std::uint32_t U32(std::uint32_t pos) const {
    std::uint32_t value = 0;
    for (std::uint32_t i = 4; i-- > 0;) {
      std::uint32_t at = pos + i;
      if (at >= end_) at -= size();
      value = (value << 8) | std::to_integer<std::uint32_t>(file_[at]);
    }
    return value;
  }

  bool IsEofRecord(std::uint32_t pos) const {
    for (std::size_t i = 0; i < kEofMarker.size(); ++i) {
      if (U32(Advance(pos, static_cast<std::uint32_t>(4 * i))) != kEofMarker[i]) return false;
    }
    return U32(Advance(pos, kEofSizeEnd)) == kEvtEofRecordSize &&
           ValidPosition(U32(Advance(pos, kEofBegin)));
  }

 private:
  ByteSpan file_;
  std::uint32_t end_;
};

struct Bounds {
  std::uint32_t begin = 0;
  std::optional<std::uint32_t> end;  // the end-of-file record, when one was found
  std::uint32_t current = 0;
  std::uint32_t oldest = 0;
};

// The end-of-file record by its signature; one that names its own offset is preferred, since
// record data may happen to hold the markers.
std::optional<std::uint32_t> ScanForEof(const Ring& ring) {
  std::optional<std::uint32_t> first;
  for (std::uint32_t pos = kEvtHeaderSize; ring.ValidPosition(pos); pos += 4) {
    if (!ring.IsEofRecord(pos)) continue;
    if (ring.U32(ring.Advance(pos, kEofEnd)) == pos) return pos;
    if (!first) first = pos;
  }
  return first;
}

bool Fail(std::string* error, const char* reason) {
  if (error != nullptr) *error = reason;
  return false;
}

bool CheckHeader(ByteSpan file, std::string* error) {
  if (file.size() < kEvtHeaderSize + kEvtEofRecordSize) return Fail(error, "file too small");
  if (ReadU32(file, hdr::kHeaderSize) != kEvtHeaderSize ||
      ReadU32(file, hdr::kEndHeaderSize) != kEvtHeaderSize) {
    return Fail(error, "bad header size");
  }
  if (ReadU32(file, hdr::kSignature) != kRecordSignature) return Fail(error, "bad signature");
  if (ReadU32(file, hdr::kMajorVersion) != 1 || ReadU32(file, hdr::kMinorVersion) != 1) {
    return Fail(error, "unsupported version");
  }
  return true;
}

Bounds FindBounds(ByteSpan file, const Ring& ring) {
  const auto header = [&](std::size_t offset) { return ReadU32(file, offset).value_or(0); };
  Bounds bounds{header(hdr::kStartOffset), std::nullopt, header(hdr::kCurrentRecordNumber),
                header(hdr::kOldestRecordNumber)};
  const std::uint32_t endHint = header(hdr::kEndOffset);
  // A clean header points at the end-of-file record; a dirty one may point anywhere.
  if ((header(hdr::kFlags) & evtflag::kDirty) == 0 && ring.ValidPosition(endHint) &&
      ring.IsEofRecord(endHint)) {
    bounds.end = endHint;
  } else {
    bounds.end = ScanForEof(ring);
  }
  if (bounds.end) {
    bounds.begin = ring.U32(ring.Advance(*bounds.end, kEofBegin));
    bounds.current = ring.U32(ring.Advance(*bounds.end, kEofCurrent));
    bounds.oldest = ring.U32(ring.Advance(*bounds.end, kEofOldest));
  }
  return bounds;
}

// Walks the records from bounds.begin up to the end-of-file record, or as far as they are
// sound when there is none. Every step consumes at least one record of the area's bytes and
// the total is capped by the area's size, so the walk always ends.
bool WalkRecords(const Ring& ring, const Bounds& bounds, EvtLog& log) {
  std::uint32_t pos = bounds.begin;
  std::uint32_t consumed = 0;
  std::uint32_t previous = 0;
  while (!(bounds.end && pos == *bounds.end)) {
    const std::uint32_t remaining =
        bounds.end ? ring.Distance(pos, *bounds.end) : ring.size() - consumed;
    if (remaining < 4) return false;
    const std::uint32_t length = ring.U32(pos);
    if (length == kSkipDword && pos != kEvtHeaderSize) {
      // The rest of the file is filler; the log continues at the start of the area.
      const std::uint32_t skip = ring.ToEnd(pos);
      if (skip > remaining) return false;
      consumed += skip;
      pos = kEvtHeaderSize;
      continue;
    }
    if (length < kRecordFixedSize || length % 4 != 0 || length > remaining) return false;
    Bytes record = ring.Copy(pos, length);
    const std::uint32_t number = RecordNumber(record);
    if (!LooksLikeRecord(record) || number <= previous) return false;
    previous = number;
    log.records.push_back(std::move(record));
    consumed += length;
    pos = ring.Advance(pos, length);
  }
  return true;
}

void PutU32(Bytes& out, std::size_t offset, std::uint32_t value) {
  WriteU32(out, offset, value);
}

}  // namespace

std::optional<EvtLog> ReadEvtFile(ByteSpan file, std::string* error) {
  try {
    if (!CheckHeader(file, error)) return std::nullopt;
    // A trailing partial DWORD (a file cut short) is not part of the area.
    const auto ringEnd = static_cast<std::uint32_t>(
        std::min<std::size_t>(file.size(), std::numeric_limits<std::uint32_t>::max()) & ~3u);
    const Ring ring(file, ringEnd);
    const Bounds bounds = FindBounds(file, ring);

    EvtLog log;
    log.maxSize = ReadU32(file, hdr::kMaxSize).value_or(0);
    log.flags = ReadU32(file, hdr::kFlags).value_or(0);
    log.retention = ReadU32(file, hdr::kRetention).value_or(0);
    log.oldestRecordNumber = bounds.oldest;
    log.currentRecordNumber = bounds.current;
    log.damaged = !ring.ValidPosition(bounds.begin) || !WalkRecords(ring, bounds, log);
    // Without its end-of-file record a file is only worth reading for what it still holds.
    if (!bounds.end && log.records.empty()) {
      Fail(error, "no end-of-file record");
      return std::nullopt;
    }
    if (!log.records.empty()) {
      // The records themselves are what a reader can seek to.
      log.oldestRecordNumber = RecordNumber(log.records.front());
      const std::uint32_t last = RecordNumber(log.records.back());
      if (last != std::numeric_limits<std::uint32_t>::max()) {
        log.currentRecordNumber = std::max(log.currentRecordNumber, last + 1);
      }
    }
    return log;
  } catch (const std::exception&) {
    Fail(error, "out of memory");
    return std::nullopt;
  }
}

Bytes WriteEvtFile(const EvtLog& log, const EvtWriteOptions& options) {
  std::uint64_t recordBytes = 0;
  for (const auto& record : log.records) recordBytes += record.size();
  const std::uint64_t needed = kEvtHeaderSize + recordBytes + kEvtEofRecordSize;
  std::uint64_t size = 0;
  if (options.fileSize != 0) {
    size = (std::max<std::uint64_t>(options.fileSize, needed) + 3) / 4 * 4;
  } else {
    const std::uint64_t wanted = std::max<std::uint64_t>(log.maxSize, needed);
    size = (wanted + kEvtSizeGranularity - 1) / kEvtSizeGranularity * kEvtSizeGranularity;
  }
  if (size > std::numeric_limits<std::uint32_t>::max()) return {};

  Bytes out(static_cast<std::size_t>(size));
  const auto fileEnd = static_cast<std::uint32_t>(size);
  const std::uint32_t ringSize = fileEnd - kEvtHeaderSize;
  std::uint32_t start = options.startOffset;
  if (start < kEvtHeaderSize || start >= fileEnd) start = kEvtHeaderSize;
  start -= (start - kEvtHeaderSize) % 4;

  std::uint32_t pos = start;
  const auto put = [&](ByteSpan bytes) {
    for (std::byte b : bytes) {
      out[pos] = b;
      pos = pos + 1 == fileEnd ? kEvtHeaderSize : pos + 1;
    }
  };
  std::uint32_t newestOffset = start;
  for (const auto& record : log.records) {
    newestOffset = pos;
    put(record);
  }
  const std::uint32_t eofOffset = pos;

  std::uint32_t oldest = log.oldestRecordNumber;
  std::uint32_t current = log.currentRecordNumber;
  std::uint32_t newest = 0;
  if (!log.records.empty()) {
    oldest = RecordNumber(log.records.front());
    newest = RecordNumber(log.records.back());
    if (newest != std::numeric_limits<std::uint32_t>::max())
      current = std::max(current, newest + 1);
  }

  Bytes eof(kEvtEofRecordSize);
  for (std::size_t i = 0; i < kEofMarker.size(); ++i) PutU32(eof, 4 * i, kEofMarker[i]);
  PutU32(eof, kEofBegin, start);
  PutU32(eof, kEofEnd, eofOffset);
  PutU32(eof, kEofCurrent, current);
  PutU32(eof, kEofOldest, oldest);
  PutU32(eof, kEofSizeEnd, kEvtEofRecordSize);
  put(eof);

  std::uint32_t flags = log.flags & ~(evtflag::kDirty | evtflag::kWrap);
  if (std::uint64_t{start - kEvtHeaderSize} + recordBytes + kEvtEofRecordSize > ringSize) {
    flags |= evtflag::kWrap;
  }
  std::uint32_t headerEnd = eofOffset;
  std::uint32_t headerCurrent = current;
  if (options.dirtyStaleHeader) {
    flags |= evtflag::kDirty;
    if (!log.records.empty()) {
      headerEnd = newestOffset;
      headerCurrent = newest;
    }
  }
  PutU32(out, hdr::kHeaderSize, kEvtHeaderSize);
  PutU32(out, hdr::kSignature, kRecordSignature);
  PutU32(out, hdr::kMajorVersion, 1);
  PutU32(out, hdr::kMinorVersion, 1);
  PutU32(out, hdr::kStartOffset, start);
  PutU32(out, hdr::kEndOffset, headerEnd);
  PutU32(out, hdr::kCurrentRecordNumber, headerCurrent);
  PutU32(out, hdr::kOldestRecordNumber, oldest);
  PutU32(out, hdr::kMaxSize, log.maxSize);
  PutU32(out, hdr::kFlags, flags);
  PutU32(out, hdr::kRetention, log.retention);
  PutU32(out, hdr::kEndHeaderSize, kEvtHeaderSize);
  return out;
}

}  // namespace qb::sim
