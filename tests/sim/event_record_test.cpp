#include "platform/sim/formats/event_record.h"

#include <gtest/gtest.h>

namespace qb::sim {
namespace {

using platform::Bytes;
using platform::ByteSpan;

// Zero-terminated UTF-16 text at `offset`; empty when it runs off the end unterminated.
std::u16string TextAt(ByteSpan record, std::size_t offset) {
  std::u16string text;
  for (auto c = ReadU16(record, offset); c; c = ReadU16(record, offset += 2)) {
    if (*c == 0) return text;
    text.push_back(static_cast<char16_t>(*c));
  }
  return u"<unterminated>";
}

RecordFields Sample() {
  RecordFields contents;
  contents.recordNumber = 7;
  contents.timeGenerated = 1000;
  contents.timeWritten = 1001;
  contents.eventId = 0xC0000010;
  contents.eventType = 2;
  contents.category = 3;
  contents.source = u"Srv";
  contents.computer = u"HOST";  // 18 bytes of names: padding follows
  contents.strings = {u"one", u"", u"three"};
  contents.sid = {std::byte{1},  std::byte{1}, std::byte{0}, std::byte{0},
                  std::byte{0},  std::byte{0}, std::byte{0}, std::byte{5},
                  std::byte{18}, std::byte{0}, std::byte{0}, std::byte{0}};
  contents.data = {std::byte{0xAA}, std::byte{0xBB}, std::byte{0xCC}};
  return contents;
}

TEST(EventRecord, LayoutIsWhatReadersDecode) {
  const RecordFields contents = Sample();
  const Bytes r = BuildEventRecord(contents);
  ASSERT_TRUE(LooksLikeRecord(r));
  EXPECT_EQ(r.size() % 4, 0u);
  EXPECT_EQ(RecordLength(r), r.size());
  EXPECT_EQ(ReadU32(r, recfield::kReserved), kRecordSignature);
  EXPECT_EQ(RecordNumber(r), 7u);
  EXPECT_EQ(ReadU32(r, recfield::kTimeGenerated), 1000u);
  EXPECT_EQ(ReadU32(r, recfield::kTimeWritten), 1001u);
  EXPECT_EQ(ReadU32(r, recfield::kEventId), 0xC0000010u);
  EXPECT_EQ(ReadU16(r, recfield::kEventType), 2u);
  EXPECT_EQ(ReadU16(r, recfield::kNumStrings), 3u);
  EXPECT_EQ(ReadU16(r, recfield::kEventCategory), 3u);
  EXPECT_EQ(TextAt(r, recfield::kSourceName), u"Srv");
  EXPECT_EQ(TextAt(r, recfield::kSourceName + 8), u"HOST");

  const std::uint32_t sidOffset = *ReadU32(r, recfield::kUserSidOffset);
  EXPECT_EQ(sidOffset, 56u + 20u);
  EXPECT_EQ(*ReadU32(r, recfield::kUserSidLength), contents.sid.size());
  EXPECT_TRUE(std::equal(contents.sid.begin(), contents.sid.end(), r.begin() + sidOffset));

  std::size_t at = *ReadU32(r, recfield::kStringOffset);
  EXPECT_EQ(at, sidOffset + contents.sid.size());
  for (const auto& expected : contents.strings) {
    EXPECT_EQ(TextAt(r, at), expected);
    at += 2 * (expected.size() + 1);
  }
  EXPECT_EQ(*ReadU32(r, recfield::kDataOffset), at);
  EXPECT_EQ(*ReadU32(r, recfield::kDataLength), 3u);
  EXPECT_TRUE(std::equal(contents.data.begin(), contents.data.end(), r.begin() + at));
}

TEST(EventRecord, WithoutSidTheOffsetMarksWhereItWouldBe) {
  RecordFields contents = Sample();
  contents.sid.clear();
  contents.strings.clear();
  contents.data.clear();
  const Bytes r = BuildEventRecord(contents);
  EXPECT_EQ(ReadU32(r, recfield::kUserSidLength), 0u);
  EXPECT_EQ(ReadU32(r, recfield::kUserSidOffset), ReadU32(r, recfield::kStringOffset));
  EXPECT_EQ(ReadU32(r, recfield::kDataOffset), ReadU32(r, recfield::kStringOffset));
  // "Srv\0" + "QBSIM\0" = 20 bytes after the fixed part, already DWORD-aligned.
  EXPECT_EQ(ReadU32(r, recfield::kUserSidOffset), 56u + 20u);
  EXPECT_EQ(r.size(), 56u + 20u + 4u);
}

TEST(EventRecord, FramingChecksRejectDamage) {
  const Bytes good = BuildEventRecord(Sample());
  const auto patched = [&](std::size_t offset, std::uint32_t value) {
    Bytes r = good;
    EXPECT_TRUE(WriteU32(r, offset, value));
    return r;
  };
  EXPECT_FALSE(LooksLikeRecord(patched(recfield::kLength, 52)));
  EXPECT_FALSE(
      LooksLikeRecord(patched(recfield::kLength, static_cast<std::uint32_t>(good.size() + 4))));
  EXPECT_FALSE(
      LooksLikeRecord(patched(recfield::kLength, static_cast<std::uint32_t>(good.size() - 2))));
  EXPECT_FALSE(LooksLikeRecord(patched(recfield::kReserved, 0x654c664d)));
  EXPECT_FALSE(LooksLikeRecord(patched(good.size() - 4, 0)));
  EXPECT_FALSE(LooksLikeRecord(ByteSpan(good).first(good.size() - 4)));
  EXPECT_FALSE(LooksLikeRecord({}));
  // A record followed by more bytes is still a record.
  Bytes longer = good;
  longer.resize(good.size() + 16);
  EXPECT_TRUE(LooksLikeRecord(longer));
}

TEST(EventRecord, FieldAccessStaysInBounds) {
  Bytes b(6, std::byte{0x11});
  EXPECT_EQ(ReadU32(b, 2), 0x11111111u);
  EXPECT_FALSE(ReadU32(b, 3));
  EXPECT_FALSE(ReadU32(b, SIZE_MAX - 1));
  EXPECT_FALSE(ReadU16(b, 5));
  EXPECT_FALSE(WriteU32(b, 3, 0));
  EXPECT_FALSE(WriteU16(b, SIZE_MAX, 0));
  EXPECT_EQ(b, Bytes(6, std::byte{0x11}));
  EXPECT_TRUE(WriteU16(b, 4, 0xBEEF));
  EXPECT_EQ(ReadU16(b, 4), 0xBEEFu);
  EXPECT_EQ(RecordNumber(ByteSpan(b).first(3)), 0u);
}

TEST(EventRecord, ResizeKeepsFramingButCutsContents) {
  Bytes r = BuildEventRecord(Sample());
  const std::uint32_t stringOffset = *ReadU32(r, recfield::kStringOffset);
  ResizeRecord(r, stringOffset + 8);  // "on" remains of the first string, unterminated
  EXPECT_TRUE(LooksLikeRecord(r));
  EXPECT_EQ(r.size(), stringOffset + 8u);
  EXPECT_EQ(TextAt(ByteSpan(r).first(r.size() - 4), stringOffset), u"<unterminated>");
  EXPECT_GT(*ReadU32(r, recfield::kDataOffset), r.size());
  ResizeRecord(r, 3);
  EXPECT_EQ(r.size(), 8u);
  EXPECT_FALSE(LooksLikeRecord(r));
}

}  // namespace
}  // namespace qb::sim
