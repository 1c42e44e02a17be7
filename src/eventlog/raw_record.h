// A view of one raw EVENTLOGRECORD in a reading buffer. Records come from outside the
// process (the service, a backup file, a damaged log): every field is checked before use,
// and a part that lies outside the record counts as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qb {

class RawEventRecord {
 public:
  static constexpr std::uint32_t kFixedSize = 56;

  // The record at `offset` of `buffer`, when its Length is at least the fixed part and the
  // whole record lies within the buffer.
  static std::optional<RawEventRecord> At(std::span<const std::byte> buffer, std::size_t offset);

  std::uint32_t Length() const { return U32(0); }
  std::uint32_t RecordNumber() const { return U32(8); }
  std::uint32_t TimeGenerated() const { return U32(12); }
  std::uint32_t TimeWritten() const { return U32(16); }
  std::uint32_t EventID() const { return U32(20); }
  std::uint16_t EventType() const { return U16(24); }
  std::uint16_t NumStrings() const { return U16(26); }
  std::uint16_t EventCategory() const { return U16(28); }
  std::uint32_t StringOffset() const { return U32(36); }
  std::uint32_t UserSidLength() const { return U32(40); }
  std::uint32_t UserSidOffset() const { return U32(44); }
  std::uint32_t DataLength() const { return U32(48); }
  std::uint32_t DataOffset() const { return U32(52); }

  // The zero-terminated source name after the fixed part; empty when unterminated.
  std::u16string SourceName() const;
  // The same into `name`, reusing its storage: listing a log then allocates nothing per record.
  void SourceNameInto(std::u16string& name) const;
  // The computer name right after the source name's terminator; empty when unterminated.
  std::u16string ComputerName() const;
  // The insert strings; empty when any of them lies outside the record.
  std::vector<std::u16string> Strings() const;
  // The SID bytes (its own length), empty when the record has none or it lies outside.
  std::span<const std::byte> UserSid() const;
  // The binary data, empty when none or when it lies outside the record.
  std::span<const std::byte> Data() const;

  std::span<const std::byte> Bytes() const { return bytes_; }

 private:
  explicit RawEventRecord(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::uint32_t U32(std::size_t at) const;
  std::uint16_t U16(std::size_t at) const;
  // A zero-terminated UTF-16 string at `at`; nullopt when it has no terminator in the record.
  // `end` receives the offset after the terminator.
  std::optional<std::u16string> StringAt(std::size_t at, std::size_t& end) const;

  std::span<const std::byte> bytes_;  // exactly Length bytes
};

}  // namespace qb
