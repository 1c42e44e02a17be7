#include "platform/sim/formats/evtx_classic_record.h"

#include <limits>

namespace qb::sim {
namespace {

constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ull;
constexpr std::uint64_t kTicksPerSecond = 10000000ull;

// A NUL-terminated UTF-16 string at `offset` that ends before `end`; nullopt when it runs past.
std::optional<std::u16string> StringAt(platform::ByteSpan record, std::size_t offset,
                                       std::size_t end, std::size_t& next) {
  std::u16string text;
  for (std::size_t at = offset; at + 2 <= end; at += 2) {
    const auto unit = static_cast<char16_t>(std::to_integer<unsigned>(record[at]) |
                                            std::to_integer<unsigned>(record[at + 1]) << 8);
    if (unit == 0) {
      next = at + 2;
      return text;
    }
    text += unit;
  }
  return std::nullopt;
}

}  // namespace

std::uint16_t ClassicEventType(std::uint8_t level, std::uint64_t keywords) {
  if ((keywords & kAuditSuccessKeyword) != 0) return evtype::kAuditSuccess;
  if ((keywords & kAuditFailureKeyword) != 0) return evtype::kAuditFailure;
  if (level == 1 || level == 2) return evtype::kError;
  if (level == 3) return evtype::kWarning;
  return evtype::kInformation;
}

std::uint32_t UnixSecondsOfFileTime(std::uint64_t fileTime) {
  if (fileTime < kUnixEpochFileTime) return 0;
  const std::uint64_t seconds = (fileTime - kUnixEpochFileTime) / kTicksPerSecond;
  return seconds > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(seconds);
}

std::uint64_t FileTimeOfUnixSeconds(std::uint32_t seconds) {
  return kUnixEpochFileTime + std::uint64_t{seconds} * kTicksPerSecond;
}

RecordFields ClassicFields(std::uint32_t recordNumber, const EvtxSystem& system,
                           std::span<const EvtxDataItem> data, platform::ByteSpan binary) {
  RecordFields fields;
  fields.recordNumber = recordNumber;
  fields.timeGenerated = fields.timeWritten = UnixSecondsOfFileTime(system.timeCreated);
  fields.eventId = std::uint32_t{system.qualifiers} << 16 | system.eventId;
  fields.eventType = ClassicEventType(system.level, system.keywords);
  fields.category = system.task;
  fields.source = system.has(EvtxField::kEventSourceName) && !system.eventSourceName.empty()
                      ? system.eventSourceName
                      : system.providerName;
  fields.computer = system.computer;
  fields.sid = system.userId;
  fields.strings.reserve(data.size());
  for (const EvtxDataItem& item : data) fields.strings.push_back(item.value.text());
  fields.data.assign(binary.begin(), binary.end());
  return fields;
}

std::optional<RecordFields> ParseEventRecord(platform::ByteSpan record) {
  if (!LooksLikeRecord(record)) return std::nullopt;
  const std::size_t end = RecordLength(record) - 4;  // the trailing length
  RecordFields fields;
  fields.recordNumber = *ReadU32(record, recfield::kRecordNumber);
  fields.timeGenerated = *ReadU32(record, recfield::kTimeGenerated);
  fields.timeWritten = *ReadU32(record, recfield::kTimeWritten);
  fields.eventId = *ReadU32(record, recfield::kEventId);
  fields.eventType = *ReadU16(record, recfield::kEventType);
  fields.category = *ReadU16(record, recfield::kEventCategory);
  std::size_t next = 0;
  auto source = StringAt(record, recfield::kSourceName, end, next);
  if (!source) return std::nullopt;
  auto computer = StringAt(record, next, end, next);
  if (!computer) return std::nullopt;
  fields.source = std::move(*source);
  fields.computer = std::move(*computer);

  const auto within = [&](std::uint32_t offset, std::uint32_t length) {
    return offset <= end && length <= end - offset;
  };
  const std::uint32_t sidLength = *ReadU32(record, recfield::kUserSidLength);
  const std::uint32_t sidOffset = *ReadU32(record, recfield::kUserSidOffset);
  if (sidLength != 0) {
    if (!within(sidOffset, sidLength)) return std::nullopt;
    fields.sid.assign(record.begin() + sidOffset, record.begin() + sidOffset + sidLength);
  }
  const std::uint16_t count = *ReadU16(record, recfield::kNumStrings);
  std::size_t at = *ReadU32(record, recfield::kStringOffset);
  for (std::uint16_t i = 0; i < count; ++i) {
    auto text = at <= end ? StringAt(record, at, end, at) : std::nullopt;
    if (!text) return std::nullopt;
    fields.strings.push_back(std::move(*text));
  }
  const std::uint32_t dataLength = *ReadU32(record, recfield::kDataLength);
  const std::uint32_t dataOffset = *ReadU32(record, recfield::kDataOffset);
  if (dataLength != 0) {
    if (!within(dataOffset, dataLength)) return std::nullopt;
    fields.data.assign(record.begin() + dataOffset, record.begin() + dataOffset + dataLength);
  }
  return fields;
}

WindowsEventFields ClassicEventFields(const RecordFields& record, std::u16string channel) {
  WindowsEventFields form;
  form.provider = record.source;
  form.eventId = static_cast<std::uint16_t>(record.eventId & 0xFFFF);
  form.qualifiers = static_cast<std::uint16_t>(record.eventId >> 16);
  form.keywords = kClassicKeyword;
  switch (record.eventType) {
    case evtype::kError:
      form.level = 2;
      break;
    case evtype::kWarning:
      form.level = 3;
      break;
    case evtype::kAuditSuccess:
      form.level = 0;
      form.keywords |= kAuditSuccessKeyword;
      break;
    case evtype::kAuditFailure:
      form.level = 0;
      form.keywords |= kAuditFailureKeyword;
      break;
    default:
      form.level = 4;
      break;
  }
  form.task = record.category;
  form.timeCreated = FileTimeOfUnixSeconds(record.timeGenerated);
  form.recordId = record.recordNumber;
  form.processId = 0;
  form.threadId = 0;
  form.channel = std::move(channel);
  form.computer = record.computer;
  form.userSid = record.sid;
  for (const std::u16string& text : record.strings) {
    form.data.emplace_back(std::u16string(), EvtxValue::String(text));
  }
  form.binary = record.data;
  return form;
}

}  // namespace qb::sim
