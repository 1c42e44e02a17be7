#include "platform/sim/formats/evtx_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/sim/formats/crc32.h"
#include "platform/sim/formats/le_bytes.h"

namespace qb::sim {
namespace {

using platform::ByteSpan;

constexpr std::array<char, 8> kFileSignature = {'E', 'l', 'f', 'F', 'i', 'l', 'e', '\0'};
constexpr std::array<char, 8> kChunkSignature = {'E', 'l', 'f', 'C', 'h', 'n', 'k', '\0'};

// File header field offsets.
namespace hdr {
constexpr std::size_t kFirstChunk = 8;
constexpr std::size_t kLastChunk = 16;
constexpr std::size_t kNextRecordId = 24;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kMinorVersion = 36;
constexpr std::size_t kMajorVersion = 38;
constexpr std::size_t kBlockSize = 40;
constexpr std::size_t kChunkCount = 42;
constexpr std::size_t kFlags = 120;
constexpr std::size_t kCrc = 124;
constexpr std::size_t kCrcCovers = 120;
}  // namespace hdr

bool HasSignature(ByteSpan bytes, const std::array<char, 8>& signature) {
  return bytes.size() >= signature.size() &&
         std::memcmp(bytes.data(), signature.data(), signature.size()) == 0;
}

bool AllZero(ByteSpan bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

// A chunk header that can be trusted: signature, checksum and a free-space offset in range.
bool SoundChunkHeader(ByteSpan header) {
  if (!HasSignature(header, kChunkSignature)) return false;
  if (EvtxChunkHeaderCrc(header) != le::U32(header.data() + chunkfield::kHeaderCrc)) return false;
  const std::uint32_t freeSpace = le::U32(header.data() + chunkfield::kFreeSpaceOffset);
  return freeSpace >= kEvtxChunkHeaderSize && freeSpace <= kEvtxChunkSize;
}

EvtxChunkHeader ParseChunkHeader(const std::byte* p) {
  EvtxChunkHeader h;
  h.firstRecordNumber = le::U64(p + chunkfield::kFirstRecordNumber);
  h.lastRecordNumber = le::U64(p + chunkfield::kLastRecordNumber);
  h.firstRecordId = le::U64(p + chunkfield::kFirstRecordId);
  h.lastRecordId = le::U64(p + chunkfield::kLastRecordId);
  h.lastRecordOffset = le::U32(p + chunkfield::kLastRecordOffset);
  h.freeSpaceOffset = le::U32(p + chunkfield::kFreeSpaceOffset);
  h.flags = le::U32(p + chunkfield::kFlags);
  return h;
}

// A record framed soundly at `pos`, ending no later than `end`; its size, else 0.
std::uint32_t FramedRecord(ByteSpan chunk, std::uint32_t pos, std::uint32_t end) {
  if (end < pos || end - pos < kEvtxRecordMinSize) return 0;
  const std::byte* p = chunk.data() + pos;
  if (le::U32(p) != kEvtxRecordSignature) return 0;
  const std::uint32_t size = le::U32(p + 4);
  if (size < kEvtxRecordMinSize || size > end - pos) return 0;
  return le::U32(p + size - 4) == size ? size : 0;
}

// Walks the records from the end of the chunk header to the free space. A record that is not
// framed soundly is counted (with every record signature up to the next sound record) and
// the walk goes on at the next position where one is; zeros up
// to the free space (archived logs fill the rest of a chunk with them) end the walk quietly.
// Every step moves forwards, so the walk ends.
std::uint32_t WalkRecords(ByteSpan chunk, std::uint32_t end, std::vector<EvtxRecordRef>& out) {
  std::uint32_t damaged = 0;
  std::uint32_t pos = kEvtxChunkHeaderSize;
  while (pos < end) {
    if (const std::uint32_t size = FramedRecord(chunk, pos, end); size != 0) {
      const std::byte* p = chunk.data() + pos;
      out.push_back({pos, size, le::U64(p + 8), le::U64(p + 16)});
      pos += size;
      continue;
    }
    if (AllZero(chunk.subspan(pos, end - pos))) break;
    ++damaged;
    std::uint32_t next = pos + 1;
    for (; next < end && FramedRecord(chunk, next, end) == 0; ++next) {
      // Another record starts here but is no sounder.
      if (end - next >= 4 && le::U32(chunk.data() + next) == kEvtxRecordSignature) ++damaged;
    }
    pos = next;
  }
  return damaged;
}

}  // namespace

std::uint32_t EvtxChunkHeaderCrc(ByteSpan chunk) {
  const std::uint32_t crc = Crc32(chunk.subspan(0, chunkfield::kFlags));
  return Crc32(
      chunk.subspan(chunkfield::kStringTable, kEvtxChunkHeaderSize - chunkfield::kStringTable),
      crc);
}

std::unique_ptr<EvtxFile> EvtxFile::Open(std::shared_ptr<const ByteSource> source,
                                         std::string* error) {
  const auto fail = [&](const char* reason) -> std::unique_ptr<EvtxFile> {
    if (error != nullptr) *error = reason;
    return nullptr;
  };
  if (!source) return fail("no file");
  std::array<std::byte, kEvtxFileHeaderSize> h{};
  if (source->size() < kEvtxHeaderBlockSize || !source->ReadAt(0, h)) {
    return fail("file too small");
  }
  if (!HasSignature(h, kFileSignature)) return fail("bad signature");
  EvtxFileHeader header;
  header.firstChunk = le::U64(&h[hdr::kFirstChunk]);
  header.lastChunk = le::U64(&h[hdr::kLastChunk]);
  header.nextRecordId = le::U64(&h[hdr::kNextRecordId]);
  header.minorVersion = le::U16(&h[hdr::kMinorVersion]);
  header.majorVersion = le::U16(&h[hdr::kMajorVersion]);
  header.chunkCount = le::U16(&h[hdr::kChunkCount]);
  header.flags = le::U32(&h[hdr::kFlags]);
  header.checksumOk = Crc32(std::span(h).first(hdr::kCrcCovers)) == le::U32(&h[hdr::kCrc]);
  if (header.majorVersion != 3) return fail("unsupported version");
  if (le::U32(&h[hdr::kHeaderSize]) != kEvtxFileHeaderSize ||
      le::U16(&h[hdr::kBlockSize]) != kEvtxHeaderBlockSize) {
    return fail("bad header size");
  }

  auto file = std::make_unique<EvtxFile>(Key{}, std::move(source));
  file->header_ = header;
  const std::uint64_t slots = (file->source_->size() - kEvtxHeaderBlockSize) / kEvtxChunkSize;
  // 2^32 slots would be a 256 TiB file; the count stays a 32-bit number.
  file->states_.assign(static_cast<std::size_t>(std::min<std::uint64_t>(slots, 0xFFFFFFFFu)),
                       EvtxSlotState::kDamaged);
  file->counted_.assign(file->states_.size(), false);

  std::vector<std::pair<std::uint64_t, std::uint32_t>> firsts;
  std::array<std::byte, kEvtxChunkHeaderSize> ch{};
  for (std::uint32_t slot = 0; slot < file->slotCount(); ++slot) {
    if (!file->source_->ReadAt(kEvtxHeaderBlockSize + std::uint64_t{slot} * kEvtxChunkSize, ch)) {
      continue;  // unreadable: damaged
    }
    if (AllZero(ch)) {
      // Room the log has not used yet, unless the rest of the slot says otherwise: known
      // when the slot is loaded.
      file->states_[slot] = EvtxSlotState::kUnchecked;
    } else if (SoundChunkHeader(ch)) {
      file->states_[slot] = EvtxSlotState::kUnchecked;
      firsts.emplace_back(le::U64(&ch[chunkfield::kFirstRecordId]), slot);
    }
  }
  std::sort(firsts.begin(), firsts.end());
  file->order_.reserve(firsts.size());
  for (const auto& [first, slot] : firsts) file->order_.push_back(slot);
  return file;
}

bool EvtxFile::LoadChunk(std::uint32_t slot, EvtxChunk& chunk) {
  if (slot >= slotCount()) return false;
  EvtxSlotState& state = states_[slot];
  if (state == EvtxSlotState::kEmpty || state == EvtxSlotState::kDamaged) return false;
  chunk.generation_ = ++loads_;
  chunk.slot_ = slot;
  chunk.records_.clear();
  chunk.recordsPassedOver_ = 0;
  if (!source_->ReadAt(kEvtxHeaderBlockSize + std::uint64_t{slot} * kEvtxChunkSize, chunk.bytes_)) {
    return false;
  }
  const ByteSpan bytes = chunk.bytes_;
  if (AllZero(bytes.first(kEvtxChunkHeaderSize))) {
    state = AllZero(bytes) ? EvtxSlotState::kEmpty : EvtxSlotState::kDamaged;
    return false;
  }
  // The header was sound at opening; the file may have changed since.
  if (!SoundChunkHeader(bytes)) {
    state = EvtxSlotState::kDamaged;
    return false;
  }
  chunk.header_ = ParseChunkHeader(bytes.data());
  const std::uint32_t end = chunk.header_.freeSpaceOffset;
  const ByteSpan data = bytes.subspan(kEvtxChunkHeaderSize, end - kEvtxChunkHeaderSize);
  if (Crc32(data) != le::U32(bytes.data() + chunkfield::kDataCrc)) {
    state = EvtxSlotState::kDamaged;
    return false;
  }
  state = EvtxSlotState::kSound;
  chunk.recordsPassedOver_ = WalkRecords(bytes, end, chunk.records_);
  if (!counted_[slot]) {
    counted_[slot] = true;
    recordsPassedOver_ += chunk.recordsPassedOver_;
  }
  return true;
}

std::uint32_t EvtxFile::chunksPassedOver() const {
  return static_cast<std::uint32_t>(
      std::count(states_.begin(), states_.end(), EvtxSlotState::kDamaged));
}

void EvtxFile::CheckAllChunks() {
  EvtxChunk chunk;
  for (std::uint32_t slot = 0; slot < slotCount(); ++slot) {
    if (states_[slot] == EvtxSlotState::kUnchecked) LoadChunk(slot, chunk);
  }
}

}  // namespace qb::sim
