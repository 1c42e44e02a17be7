#include "platform/sim/formats/event_record.h"

namespace qb::sim {
namespace {

void AppendU16(platform::Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::byte>(value & 0xFF));
  out.push_back(static_cast<std::byte>(value >> 8));
}

void AppendText(platform::Bytes& out, std::u16string_view text) {
  for (char16_t c : text) AppendU16(out, static_cast<std::uint16_t>(c));
  AppendU16(out, 0);
}

void PadToDword(platform::Bytes& out) {
  while (out.size() % 4 != 0) out.push_back(std::byte{0});
}

}  // namespace

std::optional<std::uint16_t> ReadU16(platform::ByteSpan bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return std::nullopt;
  return static_cast<std::uint16_t>(std::to_integer<std::uint16_t>(bytes[offset]) |
                                    (std::to_integer<std::uint16_t>(bytes[offset + 1]) << 8));
}

std::optional<std::uint32_t> ReadU32(platform::ByteSpan bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) {
    value = (value << 8) | std::to_integer<std::uint32_t>(bytes[offset + i]);
  }
  return value;
}

bool WriteU16(std::span<std::byte> bytes, std::size_t offset, std::uint16_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 2) return false;
  bytes[offset] = static_cast<std::byte>(value & 0xFF);
  bytes[offset + 1] = static_cast<std::byte>(value >> 8);
  return true;
}

bool WriteU32(std::span<std::byte> bytes, std::size_t offset, std::uint32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::byte>(value >> (8 * i));
  return true;
}

platform::Bytes BuildEventRecord(const RecordFields& contents) {
  platform::Bytes out(kRecordFixedSize);
  AppendText(out, contents.source);
  AppendText(out, contents.computer);
  PadToDword(out);
  // Without a SID the offset still says where it would be, as Windows writes it.
  const auto sidOffset = static_cast<std::uint32_t>(out.size());
  out.insert(out.end(), contents.sid.begin(), contents.sid.end());
  const auto stringOffset = static_cast<std::uint32_t>(out.size());
  for (const auto& text : contents.strings) AppendText(out, text);
  const auto dataOffset = static_cast<std::uint32_t>(out.size());
  out.insert(out.end(), contents.data.begin(), contents.data.end());
  PadToDword(out);
  const auto length = static_cast<std::uint32_t>(out.size() + 4);
  out.resize(length);

  WriteU32(out, recfield::kLength, length);
  WriteU32(out, recfield::kReserved, kRecordSignature);
  WriteU32(out, recfield::kRecordNumber, contents.recordNumber);
  WriteU32(out, recfield::kTimeGenerated, contents.timeGenerated);
  WriteU32(out, recfield::kTimeWritten, contents.timeWritten);
  WriteU32(out, recfield::kEventId, contents.eventId);
  WriteU16(out, recfield::kEventType, contents.eventType);
  WriteU16(out, recfield::kNumStrings, static_cast<std::uint16_t>(contents.strings.size()));
  WriteU16(out, recfield::kEventCategory, contents.category);
  WriteU32(out, recfield::kStringOffset, stringOffset);
  WriteU32(out, recfield::kUserSidLength, static_cast<std::uint32_t>(contents.sid.size()));
  WriteU32(out, recfield::kUserSidOffset, sidOffset);
  WriteU32(out, recfield::kDataLength, static_cast<std::uint32_t>(contents.data.size()));
  WriteU32(out, recfield::kDataOffset, dataOffset);
  WriteU32(out, length - 4, length);
  return out;
}

bool LooksLikeRecord(platform::ByteSpan bytes) {
  const auto length = ReadU32(bytes, recfield::kLength);
  if (!length || *length < kRecordFixedSize || *length % 4 != 0 || *length > bytes.size()) {
    return false;
  }
  return ReadU32(bytes, recfield::kReserved) == kRecordSignature &&
         ReadU32(bytes, *length - 4) == *length;
}

std::uint32_t RecordLength(platform::ByteSpan record) {
  return ReadU32(record, recfield::kLength).value_or(0);
}

std::uint32_t RecordNumber(platform::ByteSpan record) {
  return ReadU32(record, recfield::kRecordNumber).value_or(0);
}

void ResizeRecord(platform::Bytes& record, std::uint32_t length) {
  length = length < 8 ? 8 : length & ~3u;
  record.resize(length);
  WriteU32(record, recfield::kLength, length);
  WriteU32(record, length - 4, length);
}

}  // namespace qb::sim
