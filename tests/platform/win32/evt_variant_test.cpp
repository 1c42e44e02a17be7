// EVT_VARIANT as wevtapi fills it, read into EvtValue, and EvtValue laid out again as the
// functions lay out their buffers, in the program's bitness.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/evt_variant.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {
namespace {

using platform::EvtValue;
namespace evttype = platform::evttype;

platform::Bytes Raw(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::byte*>(data);
  return platform::Bytes(bytes, bytes + size);
}

EvtVariant Inline(std::uint32_t type, std::uint64_t bits) {
  EvtVariant variant{};
  variant.bits = bits;
  variant.type = type;
  return variant;
}

EvtVariant Pointing(std::uint32_t type, const void* data, std::uint32_t count = 0) {
  EvtVariant variant{};
  variant.pointer = data;
  variant.count = count;
  variant.type = type;
  return variant;
}

const SYSTEMTIME kTime{2024, 3, 5, 14, 10, 9, 8, 7};
const GUID kGuid{0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
// S-1-5-21-1-2-3-1001: two header bytes, the authority, five sub-authorities.
const BYTE kSid[] = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0,    0, 1, 0,
                     0, 0, 2, 0, 0, 0, 3, 0, 0,  0, 0xe9, 3, 0, 0};

struct ReadCase {
  const char* what;
  EvtVariant variant;
  std::uint64_t number;
  double real;
  std::u16string text;
  platform::Bytes bytes;
};

TEST(EvtVariant, SingleValuesReadAsTheApiWritesThem) {
  static const wchar_t text[] = L"Microsoft-Windows-Kernel";
  static const char ansi[] = "Ansi";
  static const BYTE binary[] = {0xde, 0xad, 0xbe, 0xef, 0x00};
  const float single = 1.5f;
  std::uint32_t singleBits = 0;
  std::memcpy(&singleBits, &single, sizeof single);
  const double twice = -2.25;
  std::uint64_t doubleBits = 0;
  std::memcpy(&doubleBits, &twice, sizeof twice);
  const ReadCase cases[] = {
      // Signed types sign-extend, unsigned ones do not; bits past the type's size are noise.
      {"SByte", Inline(evttype::kSByte, 0xabcdef80), 0xffffffffffffff80ull, 0, {}, {}},
      {"Byte", Inline(evttype::kByte, 0xabcdef80), 0x80, 0, {}, {}},
      {"Int16", Inline(evttype::kInt16, 0x1234fffe), 0xfffffffffffffffeull, 0, {}, {}},
      {"UInt16", Inline(evttype::kUInt16, 0x1234fffe), 0xfffe, 0, {}, {}},
      {"Int32", Inline(evttype::kInt32, 0x77777777ffffff00ull), 0xffffffffffffff00ull, 0, {}, {}},
      {"UInt32", Inline(evttype::kUInt32, 0x77777777ffffff00ull), 0xffffff00, 0, {}, {}},
      {"HexInt32", Inline(evttype::kHexInt32, 0x1'0000'0010ull), 0x10, 0, {}, {}},
      {"Int64", Inline(evttype::kInt64, 0x8000000000000001ull), 0x8000000000000001ull, 0, {}, {}},
      {"FileTime",
       Inline(evttype::kFileTime, 133'000'000'000'000'000ull),
       133'000'000'000'000'000ull,
       0,
       {},
       {}},
      // BOOL: any non-zero is true.
      {"Boolean", Inline(evttype::kBoolean, 5), 1, 0, {}, {}},
      {"Boolean false", Inline(evttype::kBoolean, 0xffffffff00000000ull), 0, 0, {}, {}},
      {"Single", Inline(evttype::kSingle, singleBits), 0, 1.5, {}, {}},
      {"Double", Inline(evttype::kDouble, doubleBits), 0, -2.25, {}, {}},
      {"String", Pointing(evttype::kString, text), 0, 0, u"Microsoft-Windows-Kernel", {}},
      {"Null string", Pointing(evttype::kString, nullptr), 0, 0, u"", {}},
      {"Xml", Pointing(evttype::kEvtXml, L"<a/>"), 0, 0, u"<a/>", {}},
      {"AnsiString", Pointing(evttype::kAnsiString, ansi), 0, 0, u"Ansi", {}},
      // A binary value's size is its count.
      {"Binary", Pointing(evttype::kBinary, binary, 4), 0, 0, u"", Raw(binary, 4)},
      {"Guid", Pointing(evttype::kGuid, &kGuid), 0, 0, u"", Raw(&kGuid, sizeof kGuid)},
      {"SysTime", Pointing(evttype::kSysTime, &kTime), 0, 0, u"", Raw(&kTime, sizeof kTime)},
      {"Sid", Pointing(evttype::kSid, kSid), 0, 0, u"", Raw(kSid, sizeof kSid)},
  };
  const AnsiToUtf16 ansiToText = [](std::string_view in) {
    return std::u16string(in.begin(), in.end());
  };
  for (const ReadCase& c : cases) {
    EvtValue value;
    ASSERT_EQ(FromVariant(c.variant, ansiToText, value), 0u) << c.what;
    EXPECT_EQ(value.type, c.variant.type) << c.what;
    EXPECT_EQ(value.number, c.number) << c.what;
    EXPECT_EQ(value.real, c.real) << c.what;
    EXPECT_EQ(value.text, c.text) << c.what;
    EXPECT_EQ(value.bytes, c.bytes) << c.what;
  }
}

TEST(EvtVariant, ArraysHoldTheirItemsAsTheApiLaysThemOut) {
  const BOOL flags[] = {TRUE, FALSE, 7};
  const wchar_t* names[] = {L"one", L"", L"three"};
  const SYSTEMTIME times[] = {kTime, {1999, 12, 5, 31, 23, 59, 59, 999}};
  const INT16 shorts[] = {-1, 2};
  const std::size_t sizes[] = {0, SIZE_MAX};
  const PSID sids[] = {const_cast<BYTE*>(kSid)};
  struct Case {
    const char* what;
    EvtVariant variant;
    std::vector<EvtValue> items;
  };
  const auto number = [](std::uint32_t type, std::uint64_t n) {
    EvtValue v;
    v.type = type;
    v.number = n;
    return v;
  };
  const auto string = [](std::u16string text) {
    EvtValue v;
    v.type = evttype::kString;
    v.text = std::move(text);
    return v;
  };
  const auto bytes = [](std::uint32_t type, platform::Bytes data) {
    EvtValue v;
    v.type = type;
    v.bytes = std::move(data);
    return v;
  };
  const Case cases[] = {
      {"Boolean[]",
       Pointing(evttype::kBoolean | evttype::kArray, flags, 3),
       {number(evttype::kBoolean, 1), number(evttype::kBoolean, 0), number(evttype::kBoolean, 1)}},
      {"String[]",
       Pointing(evttype::kString | evttype::kArray, names, 3),
       {string(u"one"), string(u""), string(u"three")}},
      {"SysTime[]",
       Pointing(evttype::kSysTime | evttype::kArray, times, 2),
       {bytes(evttype::kSysTime, Raw(&times[0], 16)),
        bytes(evttype::kSysTime, Raw(&times[1], 16))}},
      {"Int16[]",
       Pointing(evttype::kInt16 | evttype::kArray, shorts, 2),
       {number(evttype::kInt16, ~0ull), number(evttype::kInt16, 2)}},
      {"SizeT[]",
       Pointing(evttype::kSizeT | evttype::kArray, sizes, 2),
       {number(evttype::kSizeT, 0), number(evttype::kSizeT, SIZE_MAX)}},
      {"Sid[]",
       Pointing(evttype::kSid | evttype::kArray, sids, 1),
       {bytes(evttype::kSid, Raw(kSid, sizeof kSid))}},
      {"empty", Pointing(evttype::kUInt32 | evttype::kArray, nullptr, 0), {}},
  };
  for (const Case& c : cases) {
    EvtValue value;
    ASSERT_EQ(FromVariant(c.variant, nullptr, value), 0u) << c.what;
    EXPECT_EQ(value.type, c.variant.type) << c.what;
    ASSERT_EQ(value.items.size(), c.items.size()) << c.what;
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(value.items[i].type, c.items[i].type) << c.what << " " << i;
      EXPECT_EQ(value.items[i].number, c.items[i].number) << c.what << " " << i;
      EXPECT_EQ(value.items[i].text, c.items[i].text) << c.what << " " << i;
      EXPECT_EQ(value.items[i].bytes, c.items[i].bytes) << c.what << " " << i;
    }
  }
}

TEST(EvtVariant, WhatNoVariantHoldsIsRefused) {
  const BYTE notSid[] = {2, 1, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0};
  const BYTE tooMany[] = {1, 16, 0, 0, 0, 0, 0, 5};
  const EvtVariant cases[] = {
      Inline(22, 0),                           // no type 22
      Inline(evttype::kEvtHandle + 1, 0),      // nor 33
      Pointing(evttype::kGuid, nullptr),       // a GUID needs its bytes
      Pointing(evttype::kBinary, nullptr, 4),  // four bytes at nowhere
      Pointing(evttype::kSid, notSid),         // revision 2
      Pointing(evttype::kSid, tooMany),        // 16 sub-authorities
      Pointing(evttype::kUInt32 | evttype::kArray, nullptr, 2),
      Pointing(evttype::kBinary | evttype::kArray, kSid, 1),  // binary has no arrays
  };
  for (const EvtVariant& variant : cases) {
    EvtValue value;
    value.type = evttype::kString;
    EXPECT_EQ(FromVariant(variant, nullptr, value), platform::err::kInvalidData) << variant.type;
    EXPECT_TRUE(value.IsNull()) << variant.type;
  }
}

// Every value laid out and read back is the value again, and lies within the buffer.
TEST(EvtVariant, PackedValuesReadBackWhole) {
  std::vector<EvtValue> values(9);
  values[0].type = evttype::kString;
  values[0].text = u"Application";
  values[1].type = evttype::kUInt64;
  values[1].number = 0x123456789abcull;
  values[2].type = evttype::kSysTime;
  values[2].bytes = Raw(&kTime, sizeof kTime);
  values[3].type = evttype::kSid;
  values[3].bytes = Raw(kSid, sizeof kSid);
  values[4].type = evttype::kBinary;
  values[4].bytes = Raw("\x01\x02\x03", 3);
  values[5].type = evttype::kString | evttype::kArray;
  values[5].items = {values[0], values[0]};
  values[5].items[1].text = u"second";
  values[6].type = evttype::kGuid | evttype::kArray;
  values[6].items.resize(2);
  for (auto& item : values[6].items) item.type = evttype::kGuid;
  values[6].items[0].bytes = Raw(&kGuid, sizeof kGuid);
  values[6].items[1].bytes = platform::Bytes(16, std::byte{0x5a});
  values[7].type = evttype::kNull;
  values[8].type = evttype::kDouble;
  values[8].real = 0.125;

  const std::size_t needed = PackVariants(values, nullptr, {});
  ASSERT_GE(needed, values.size() * sizeof(EvtVariant));
  // Too small: nothing written, the size asked for again.
  std::vector<EvtVariant> small((needed + 15) / 16, Inline(99, 99));
  EXPECT_EQ(PackVariants(values, nullptr, {reinterpret_cast<std::byte*>(small.data()), needed - 1}),
            needed);
  EXPECT_EQ(small[0].type, 99u);

  std::vector<EvtVariant> storage((needed + 15) / 16);
  auto* begin = reinterpret_cast<const std::byte*>(storage.data());
  ASSERT_EQ(PackVariants(values, nullptr, {reinterpret_cast<std::byte*>(storage.data()), needed}),
            needed);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const EvtVariant& variant = storage[i];
    if ((variant.type & evttype::kArray) != 0 || variant.type == evttype::kString ||
        variant.type == evttype::kSysTime || variant.type == evttype::kSid ||
        variant.type == evttype::kBinary) {
      const auto* at = static_cast<const std::byte*>(variant.pointer);
      EXPECT_TRUE(at >= begin + values.size() * sizeof(EvtVariant) && at < begin + needed) << i;
    }
    EvtValue back;
    ASSERT_EQ(FromVariant(variant, nullptr, back), 0u) << i;
    EXPECT_EQ(back.type, values[i].type) << i;
    EXPECT_EQ(back.number, values[i].number) << i;
    EXPECT_EQ(back.real, values[i].real) << i;
    EXPECT_EQ(back.text, values[i].text) << i;
    EXPECT_EQ(back.bytes, values[i].bytes) << i;
    ASSERT_EQ(back.items.size(), values[i].items.size()) << i;
    for (std::size_t k = 0; k < back.items.size(); ++k) {
      EXPECT_EQ(back.items[k].text, values[i].items[k].text) << i << "." << k;
      EXPECT_EQ(back.items[k].bytes, values[i].items[k].bytes) << i << "." << k;
    }
  }
  EXPECT_EQ(storage[4].count, 3u);
  EXPECT_EQ(storage[5].count, 2u);
}

}  // namespace
}  // namespace qb::win32
