// Each kind of damage and state the writer can make: what the reader lists and what it
// counts as passed over.
#include <gtest/gtest.h>

#include <functional>

#include "evtx_fixture.h"
#include "platform/sim/formats/crc32.h"

namespace qb::sim {
namespace {

using platform::Bytes;

// Enough events for several chunks.
const std::vector<EvtxEvent>& Events() {
  static const auto events = [] {
    std::vector<EvtxEvent> out;
    for (std::uint64_t i = 1; i <= 900; ++i) {
      out.push_back(
          evtxtest::MakeEvent(5000 + i, static_cast<std::uint16_t>(i % 7),
                              {evtxtest::DataTemplate({evtxtype::kString, evtxtype::kUInt32}),
                               {EvtxValue::String(u"event number " + Decimal(i)),
                                EvtxValue::UInt(evtxtype::kUInt32, i)},
                               nullptr,
                               {}}));
    }
    return out;
  }();
  return events;
}

// The record numbers of each chunk of the sound file, in writing order.
const std::vector<std::vector<std::uint64_t>>& Layout() {
  static const auto layout = [] {
    std::vector<std::vector<std::uint64_t>> chunks;
    auto file = EvtxFile::Open(evtxtest::InMemory(WriteEvtxFile(Events())));
    EvtxChunk chunk;
    for (std::uint32_t slot = 0; file && slot < file->slotCount(); ++slot) {
      if (!file->LoadChunk(slot, chunk)) break;
      chunks.emplace_back();
      for (const auto& r : chunk.records()) chunks.back().push_back(r.id);
    }
    return chunks;
  }();
  return layout;
}

struct DamageCase {
  const char* label;
  std::function<void(EvtxWriterOptions&, std::uint32_t chunks)> options;
  // Chunks (in writing order) whose records are not read, and chunks counted as damaged.
  std::function<bool(std::uint32_t chunk, std::uint32_t chunks)> lost;
  std::uint32_t chunksPassedOver;
  std::vector<std::uint64_t> recordsLost;  // single records passed over
};

const auto kNone = [](std::uint32_t, std::uint32_t) { return false; };

const DamageCase kCases[] = {
    {"sound", [](EvtxWriterOptions&, std::uint32_t) {}, kNone, 0, {}},
    {"header counting fewer chunks",
     [](EvtxWriterOptions& o, std::uint32_t) {
       o.headerChunkCount = 1;
       o.dirty = true;
     },
     kNone,
     0,
     {}},
    {"bad chunk signature",
     [](EvtxWriterOptions& o, std::uint32_t) { o.badSignatureChunks = {1}; },
     [](std::uint32_t c, std::uint32_t) { return c == 1; },
     1,
     {}},
    {"bad header CRC",
     [](EvtxWriterOptions& o, std::uint32_t) { o.badHeaderCrcChunks = {0}; },
     [](std::uint32_t c, std::uint32_t) { return c == 0; },
     1,
     {}},
    {"bad data CRC",
     [](EvtxWriterOptions& o, std::uint32_t) {
       o.badDataCrcChunks = {2, 3};
     },
     [](std::uint32_t c, std::uint32_t) { return c == 2 || c == 3; },
     2,
     {}},
    {"trailing size copy",
     [](EvtxWriterOptions& o, std::uint32_t) {
       o.badTrailingSizeRecords = {10, 11, 400};
     },
     kNone,
     0,
     {10, 11, 400}},
    {"stale copies in free space",
     [](EvtxWriterOptions& o, std::uint32_t) { o.staleCopies = true; },
     kNone,
     0,
     {}},
    {"wrapped: newest chunks over the oldest",
     [](EvtxWriterOptions& o, std::uint32_t chunks) {
       o.slots = chunks - 2;
       o.firstSlot = 1;
     },
     [](std::uint32_t c, std::uint32_t) { return c < 2; },
     0,
     {}},
    {"empty slots after and before",
     [](EvtxWriterOptions& o, std::uint32_t chunks) {
       o.slots = chunks + 4;
       o.firstSlot = 2;
     },
     kNone,
     0,
     {}},
    {"format 3.2, full",
     [](EvtxWriterOptions& o, std::uint32_t) {
       o.minorVersion = 2;
       o.full = true;
     },
     kNone,
     0,
     {}},
};

class EvtxDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(EvtxDamage, ReadsWhatIsSoundAndCountsTheRest) {
  const DamageCase& c = GetParam();
  const auto& layout = Layout();
  const auto chunks = static_cast<std::uint32_t>(layout.size());
  ASSERT_GE(chunks, 5u);
  EvtxWriterOptions options;
  c.options(options, chunks);
  const Bytes bytes = WriteEvtxFile(Events(), options);

  std::vector<std::uint64_t> expected;
  for (std::uint32_t k = 0; k < chunks; ++k) {
    if (c.lost(k, chunks)) continue;
    for (std::uint64_t id : layout[k]) {
      if (std::find(c.recordsLost.begin(), c.recordsLost.end(), id) == c.recordsLost.end()) {
        expected.push_back(id);
      }
    }
  }
  const auto read = evtxtest::ReadAll(evtxtest::InMemory(bytes));
  EXPECT_EQ(read.recordIds, expected);
  EXPECT_EQ(read.chunksPassedOver, c.chunksPassedOver);
  EXPECT_EQ(read.recordsPassedOver, c.recordsLost.size());
  EXPECT_EQ(read.failures, 0u);
  auto backwards = evtxtest::ReadAll(evtxtest::InMemory(bytes), true).recordIds;
  std::reverse(backwards.begin(), backwards.end());
  EXPECT_EQ(backwards, expected);

  auto file = EvtxFile::Open(evtxtest::InMemory(bytes));
  ASSERT_TRUE(file);
  const EvtxFileHeader& h = file->header();
  EXPECT_TRUE(h.checksumOk);
  EXPECT_EQ(h.minorVersion, options.minorVersion);
  EXPECT_EQ((h.flags & evtxflag::kDirty) != 0, options.dirty);
  EXPECT_EQ((h.flags & evtxflag::kFull) != 0, options.full);
  const std::uint32_t slots = options.slots != 0 ? options.slots : options.firstSlot + chunks;
  EXPECT_EQ(file->slotCount(), slots);
  EXPECT_EQ(h.chunkCount, options.headerChunkCount.value_or(std::min(slots, chunks)));
  if (options.staleCopies) {
    // Each chunk's free space starts with a record the walk stops before.
    EvtxChunk chunk;
    for (std::uint32_t slot = 0; slot < file->slotCount(); ++slot) {
      ASSERT_TRUE(file->LoadChunk(slot, chunk));
      EXPECT_EQ(chunk.bytes()[chunk.header().freeSpaceOffset], std::byte{'*'}) << slot;
    }
  }
  // The oldest chunk kept, in its slot.
  EXPECT_EQ(h.firstChunk, (options.firstSlot + (chunks > slots ? chunks - slots : 0)) % slots);
}

INSTANTIATE_TEST_SUITE_P(WriterOptions, EvtxDamage, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                           std::string name = info.param.label;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

// Any byte of an event's Binary XML changed (the checksum kept right): the reader neither
// fails the walk nor reads outside the chunk; the records around it are still listed.
TEST(EvtxDamage, ChangedBinaryXmlNeverBreaksTheWalk) {
  const std::vector<EvtxEvent> events(Events().begin(), Events().begin() + 3);
  const Bytes sound = WriteEvtxFile(events);
  auto file = EvtxFile::Open(evtxtest::InMemory(sound));
  EvtxChunk chunk;
  ASSERT_TRUE(file && file->LoadChunk(0, chunk));
  const EvtxRecordRef second = chunk.records()[1];
  const std::size_t chunkAt = kEvtxHeaderBlockSize;
  const std::uint32_t freeSpace = chunk.header().freeSpaceOffset;
  for (std::uint32_t at = second.offset + kEvtxRecordHeaderSize;
       at + 4 < second.offset + second.size; ++at) {
    for (std::uint8_t value : {0x00, 0x01, 0x41, 0x0C, 0x0E, 0x21, 0xFF}) {
      Bytes bytes = sound;
      bytes[chunkAt + at] = std::byte{value};
      const std::uint32_t crc = Crc32(std::span(bytes).subspan(chunkAt + kEvtxChunkHeaderSize,
                                                               freeSpace - kEvtxChunkHeaderSize));
      for (int i = 0; i < 4; ++i) {
        bytes[chunkAt + chunkfield::kDataCrc + i] = static_cast<std::byte>(crc >> (8 * i));
      }
      const std::uint32_t headerCrc =
          EvtxChunkHeaderCrc(std::span(bytes).subspan(chunkAt, kEvtxChunkSize));
      for (int i = 0; i < 4; ++i) {
        bytes[chunkAt + chunkfield::kHeaderCrc + i] = static_cast<std::byte>(headerCrc >> (8 * i));
      }
      const auto read = evtxtest::ReadAll(evtxtest::InMemory(bytes));
      ASSERT_EQ(read.recordIds, (std::vector<std::uint64_t>{1, 2, 3})) << at;
      ASSERT_LE(read.failures, 2u) << at;
    }
  }
}

}  // namespace
}  // namespace qb::sim
