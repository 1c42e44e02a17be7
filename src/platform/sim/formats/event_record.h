// The raw EVENTLOGRECORD as ReadEventLogW delivers it and .evt files store it: a 56-byte fixed
// part, the source and computer names, the user SID, the insert strings, the binary data and
// a trailing copy of the length. Builders for the simulated event log and for tests, and
// bounds-checked little-endian field access for code that must survive damaged records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

// "LfLe": the Reserved field of every record and the signature of an .evt file.
inline constexpr std::uint32_t kRecordSignature = 0x654c664c;
inline constexpr std::size_t kRecordFixedSize = 56;

// Byte offsets of the fixed fields.
namespace recfield {
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kReserved = 4;
inline constexpr std::size_t kRecordNumber = 8;
inline constexpr std::size_t kTimeGenerated = 12;
inline constexpr std::size_t kTimeWritten = 16;
inline constexpr std::size_t kEventId = 20;
inline constexpr std::size_t kEventType = 24;      // 16 bits
inline constexpr std::size_t kNumStrings = 26;     // 16 bits
inline constexpr std::size_t kEventCategory = 28;  // 16 bits
inline constexpr std::size_t kReservedFlags = 30;  // 16 bits
inline constexpr std::size_t kClosingRecordNumber = 32;
inline constexpr std::size_t kStringOffset = 36;
inline constexpr std::size_t kUserSidLength = 40;
inline constexpr std::size_t kUserSidOffset = 44;
inline constexpr std::size_t kDataLength = 48;
inline constexpr std::size_t kDataOffset = 52;
inline constexpr std::size_t kSourceName = 56;  // the variable part starts here
}  // namespace recfield

// Little-endian fields; nullopt / false when the field does not lie within the bytes.
std::optional<std::uint16_t> ReadU16(platform::ByteSpan bytes, std::size_t offset);
std::optional<std::uint32_t> ReadU32(platform::ByteSpan bytes, std::size_t offset);
bool WriteU16(std::span<std::byte> bytes, std::size_t offset, std::uint16_t value);
bool WriteU32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value);

// The contents of one record, for building it.
struct RecordFields {
  std::uint32_t recordNumber = 0;
  std::uint32_t timeGenerated = 0, timeWritten = 0;
  std::uint32_t eventId = 0;
  std::uint16_t eventType = 4;
  std::uint16_t category = 0;
  std::u16string source;
  std::u16string computer = u"QBSIM";
  std::vector<std::u16string> strings;
  platform::Bytes sid;
  platform::Bytes data;
};

// A well-formed record laid out as Windows writes it.
platform::Bytes BuildEventRecord(const RecordFields& contents);

// The framing is sound: Length at least the fixed part, a multiple of 4 and within `bytes`,
// the signature in place and the trailing length equal to Length. Says nothing about the
// offsets inside the record.
bool LooksLikeRecord(platform::ByteSpan bytes);

// The record's Length / RecordNumber field, 0 when the bytes are too short to hold it.
std::uint32_t RecordLength(platform::ByteSpan record);
std::uint32_t RecordNumber(platform::ByteSpan record);

// Cuts or extends (with zeros) a record to `length` bytes and writes that length into both
// length fields, keeping the framing valid while whatever the offsets describe may no longer
// fit: the way to build records whose strings or data run past their end. `length` is rounded
// down to a multiple of 4, and 8 at least.
void ResizeRecord(platform::Bytes& record, std::uint32_t length);

}  // namespace qb::sim
