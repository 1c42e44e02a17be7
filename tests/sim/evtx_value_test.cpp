// The pieces the .evtx reader and writer share: checksums, name hashes, time, GUID, SID and
// number texts both ways.
#include <gtest/gtest.h>

#include "evtx_fixture.h"
#include "platform/sim/formats/crc32.h"
#include "platform/sim/formats/le_bytes.h"

namespace qb::sim {
namespace {

TEST(EvtxValue, Crc32IsZlibs) {
  const std::string check = "123456789";  // the catalogue's check input
  const auto bytes = std::as_bytes(std::span(check));
  EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
  // In pieces, at every split (the sixteen-byte steps and the tail).
  const std::string longer(100, 'q');
  const auto all = std::as_bytes(std::span(longer));
  for (std::size_t cut = 0; cut <= all.size(); ++cut) {
    EXPECT_EQ(Crc32(all.subspan(cut), Crc32(all.first(cut))), Crc32(all)) << cut;
  }
}

// Windows' own hashes, in the string tables of a file it wrote.
TEST(EvtxValue, NameHashesAreWindows) {
  QB_NEED_SAMPLES();
  auto file = EvtxFile::Open(evtxtest::OpenFile(evtxtest::kSamples / "python-evtx/issue_43.evtx"));
  ASSERT_TRUE(file);
  EvtxChunk chunk;
  ASSERT_TRUE(file->LoadChunk(file->order().front(), chunk));
  const std::byte* c = chunk.bytes().data();
  std::size_t names = 0;
  for (std::size_t bucket = 0; bucket < chunkfield::kStringBuckets; ++bucket) {
    for (std::uint32_t at = le::U32(c + chunkfield::kStringTable + 4 * bucket); at != 0;
         at = le::U32(c + at)) {
      const std::uint16_t count = le::U16(c + at + 6);
      const std::u16string name = FromLittleEndianBytes(chunk.bytes().subspan(at + 8, 2 * count));
      EXPECT_EQ(EvtxNameHash(name), le::U16(c + at + 4)) << ToUtf8(name);
      EXPECT_EQ(EvtxNameHash(name) % chunkfield::kStringBuckets, bucket);
      ++names;
    }
  }
  EXPECT_GT(names, 10u);
}

struct TimeCase {
  std::uint64_t fileTime;
  const char16_t* text;
};

// FILETIMEs of dates counted independently (100 ns since 1601-01-01).
constexpr TimeCase kTimes[] = {
    {0, u"1601-01-01T00:00:00.0000000Z"},
    {116444736000000000ull, u"1970-01-01T00:00:00.0000000Z"},
    {125963423999999990ull, u"2000-02-29T23:59:59.9999990Z"},
    {131116874743460000ull, u"2016-06-29T15:24:34.3460000Z"},
    {2650467743990000000ull, u"9999-12-31T23:59:59.0000000Z"},
};

TEST(EvtxValue, FileTimesAsTextAndBack) {
  for (const auto& t : kTimes) {
    EXPECT_EQ(EvtxFileTimeText(t.fileTime), t.text);
    EXPECT_EQ(ParseEvtxTime(t.text), t.fileTime) << ToUtf8(t.text);
  }
  // Fewer or more fractional digits, as other writers give them.
  EXPECT_EQ(ParseEvtxTime(u"2016-06-29T15:24:34.346Z"), kTimes[3].fileTime);
  EXPECT_EQ(ParseEvtxTime(u"2016-06-29T15:24:34.346000099Z"), kTimes[3].fileTime);
  EXPECT_EQ(ParseEvtxTime(u"1970-01-01T00:00:00Z"), kTimes[1].fileTime);
  for (const char16_t* bad :
       {u"", u"2016-06-29 15:24:34Z", u"2016-13-29T15:24:34Z", u"2016-06-29T15:24:34.Z",
        u"2016-06-29T15:24:34.3x0Z", u"1600-01-01T00:00:00Z"}) {
    EXPECT_FALSE(ParseEvtxTime(bad)) << ToUtf8(bad);
  }
}

TEST(EvtxValue, TextsParseBack) {
  const platform::Bytes guid = {std::byte{0x33}, std::byte{0x22}, std::byte{0x11}, std::byte{0x00},
                                std::byte{0x55}, std::byte{0x44}, std::byte{0x77}, std::byte{0x66},
                                std::byte{0x88}, std::byte{0x99}, std::byte{0xAA}, std::byte{0xBB},
                                std::byte{0xCC}, std::byte{0xDD}, std::byte{0xEE}, std::byte{0xFF}};
  EXPECT_EQ(EvtxGuidText(guid), u"{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(ParseEvtxGuid(u"{00112233-4455-6677-8899-aabbccddeeff}"), guid);
  EXPECT_FALSE(ParseEvtxGuid(u"{00112233-4455-6677-8899_AABBCCDDEEFF}"));

  for (const char16_t* sid :
       {u"S-1-5-18", u"S-1-5-21-3579330227-2094980565-878306854-1000", u"S-1-0x123456789ABC-7"}) {
    const auto bytes = ParseEvtxSid(sid);
    ASSERT_TRUE(bytes) << ToUtf8(sid);
    EXPECT_EQ(EvtxSidSize(*bytes), bytes->size());
    EXPECT_EQ(EvtxSidText(*bytes), sid);
  }
  EXPECT_FALSE(ParseEvtxSid(u"S-1"));
  EXPECT_FALSE(EvtxSidText(platform::Bytes(9, std::byte{1})));

  EXPECT_EQ(ParseEvtxNumber(u"18446744073709551615"), 18446744073709551615ull);
  EXPECT_EQ(ParseEvtxNumber(u"0x3e7"), 999u);
  EXPECT_FALSE(ParseEvtxNumber(u"18446744073709551616"));
  EXPECT_FALSE(ParseEvtxNumber(u"-1"));
}

}  // namespace
}  // namespace qb::sim
