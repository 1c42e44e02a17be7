// The values of .evtx events: the Binary XML value types (EVT_VARIANT_TYPE's numbering), a
// typed value as the reader gives it and the writer takes it, and each type's text as
// EvtRender writes it into an event's XML.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

namespace evtxtype {
inline constexpr std::uint8_t kNull = 0x00;
inline constexpr std::uint8_t kString = 0x01;      // UTF-16LE, no terminator
inline constexpr std::uint8_t kAnsiString = 0x02;  // the system code page, no terminator
inline constexpr std::uint8_t kInt8 = 0x03;
inline constexpr std::uint8_t kUInt8 = 0x04;
inline constexpr std::uint8_t kInt16 = 0x05;
inline constexpr std::uint8_t kUInt16 = 0x06;
inline constexpr std::uint8_t kInt32 = 0x07;
inline constexpr std::uint8_t kUInt32 = 0x08;
inline constexpr std::uint8_t kInt64 = 0x09;
inline constexpr std::uint8_t kUInt64 = 0x0A;
inline constexpr std::uint8_t kReal32 = 0x0B;
inline constexpr std::uint8_t kReal64 = 0x0C;
inline constexpr std::uint8_t kBool = 0x0D;  // 32 bits
inline constexpr std::uint8_t kBinary = 0x0E;
inline constexpr std::uint8_t kGuid = 0x0F;
inline constexpr std::uint8_t kSizeT = 0x10;  // 32 or 64 bits, shown in hexadecimal
inline constexpr std::uint8_t kFileTime = 0x11;
inline constexpr std::uint8_t kSysTime = 0x12;
inline constexpr std::uint8_t kSid = 0x13;
inline constexpr std::uint8_t kHexInt32 = 0x14;
inline constexpr std::uint8_t kHexInt64 = 0x15;
inline constexpr std::uint8_t kEvtHandle = 0x20;
inline constexpr std::uint8_t kBinXml = 0x21;  // a nested Binary XML fragment
inline constexpr std::uint8_t kEvtXml = 0x23;  // XML text (UTF-16LE), as event data gives kBinXml
inline constexpr std::uint8_t kArray = 0x80;   // flag: several values of the type
}  // namespace evtxtype

// Bytes of one value of a fixed-size type; 0 for types of any size (strings, binary, SIDs,
// BinXml) and for SizeT, which is 4 or 8.
std::size_t EvtxFixedSize(std::uint8_t type);

struct EvtxFragment;

// A typed value: the type without the array flag, whether it is an array, and the bytes as a
// file stores them (numbers little-endian, text UTF-16LE, arrays packed or, for strings,
// NUL-separated). A nested Binary XML value read for rewriting, or given to the writer, is a
// fragment; event data gives one as XML text (kEvtXml) instead.
struct EvtxValue {
  std::uint8_t type = evtxtype::kNull;
  bool array = false;
  platform::Bytes data;
  std::shared_ptr<const EvtxFragment> fragment;

  std::uint8_t wireType() const { return array ? type | evtxtype::kArray : type; }
  bool isNull() const { return type == evtxtype::kNull; }

  // Items of an array (0 for an empty one), 1 for any other value but null.
  std::size_t count() const;
  // An item of an array (the value itself when it is none) as a value of its own.
  EvtxValue item(std::size_t index) const;
  // The text EvtRender writes for the value (arrays: the items, comma-separated).
  std::u16string text() const;
  // Integers, bool, HexInt, SizeT and FILETIME as a number (signed ones sign-extended).
  std::optional<std::uint64_t> number() const;
  std::optional<double> real() const;

  static EvtxValue Null() { return {}; }
  static EvtxValue String(std::u16string_view text);
  static EvtxValue AnsiString(std::string_view text);
  static EvtxValue Int(std::uint8_t type, std::int64_t value);  // the integer types, bool, HexInt
  static EvtxValue UInt(std::uint8_t type, std::uint64_t value);
  static EvtxValue Real32(float value);
  static EvtxValue Real64(double value);
  static EvtxValue Bool(bool value) { return UInt(evtxtype::kBool, value ? 1 : 0); }
  static EvtxValue Binary(platform::ByteSpan bytes);
  static EvtxValue Guid(platform::ByteSpan sixteenBytes);
  static EvtxValue SizeT(std::uint64_t value, bool wide = true);
  static EvtxValue FileTime(std::uint64_t value) { return UInt(evtxtype::kFileTime, value); }
  static EvtxValue SysTime(const platform::SystemTime& time);
  static EvtxValue Sid(platform::ByteSpan sid);
  // `type` without the array flag; fixed-size items packed in `data`.
  static EvtxValue Array(std::uint8_t type, platform::Bytes data);
  static EvtxValue StringArray(const std::vector<std::u16string>& items);
  static EvtxValue BinXml(std::shared_ptr<const EvtxFragment> fragment);

  friend bool operator==(const EvtxValue& a, const EvtxValue& b);
};

// Appends the text of one value (not an array) of `type` stored as `bytes`. Strings are
// appended as they are, XML escaping is the caller's.
void AppendEvtxValueText(std::uint8_t type, platform::ByteSpan bytes, std::u16string& out);

// The items of an array value of `type` (without the flag): each item's bytes.
std::vector<platform::ByteSpan> EvtxArrayItems(std::uint8_t type, platform::ByteSpan bytes);

// Texts of the types that have a fixed form.
std::u16string EvtxGuidText(platform::ByteSpan sixteenBytes);
std::u16string EvtxFileTimeText(std::uint64_t fileTime);
// nullopt when the bytes are no SID.
std::optional<std::u16string> EvtxSidText(platform::ByteSpan sid);
// Size of the SID at the start of `bytes`, 0 when there is none.
std::size_t EvtxSidSize(platform::ByteSpan bytes);

// Parses the texts above back (for constants in templates): a GUID in braces, a decimal or
// 0x-prefixed hexadecimal number, a SID string.
std::optional<platform::Bytes> ParseEvtxGuid(std::u16string_view text);
std::optional<std::uint64_t> ParseEvtxNumber(std::u16string_view text);
std::optional<platform::Bytes> ParseEvtxSid(std::u16string_view text);
// "YYYY-MM-DDTHH:MM:SS[.fraction]Z", the XML form of times, to a FILETIME.
std::optional<std::uint64_t> ParseEvtxTime(std::u16string_view text);
// A SYSTEMTIME value's 16 bytes to a FILETIME; nullopt for dates before 1601.
std::optional<std::uint64_t> EvtxFileTimeFromSysTime(platform::ByteSpan sixteenBytes);

}  // namespace qb::sim
