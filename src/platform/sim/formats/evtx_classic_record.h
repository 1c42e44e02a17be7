// Events of an .evtx log as the classic event log calls hand them out: each event an
// EVENTLOGRECORD made from its System values and event data, and the way back, a classic
// record as the event an .evtx-kept log stores for it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/sim/formats/event_record.h"
#include "platform/sim/formats/evtx_event.h"
#include "platform/sim/formats/evtx_windows_event.h"

namespace qb::sim {

// Keywords the event log service gives the events of the security audit.
inline constexpr std::uint64_t kAuditSuccessKeyword = 0x0020000000000000ull;
inline constexpr std::uint64_t kAuditFailureKeyword = 0x0010000000000000ull;
// The keyword of events written through ReportEvent.
inline constexpr std::uint64_t kClassicKeyword = 0x0080000000000000ull;

// Classic event types (EVENTLOG_*_TYPE).
namespace evtype {
inline constexpr std::uint16_t kError = 0x0001;
inline constexpr std::uint16_t kWarning = 0x0002;
inline constexpr std::uint16_t kInformation = 0x0004;
inline constexpr std::uint16_t kAuditSuccess = 0x0008;
inline constexpr std::uint16_t kAuditFailure = 0x0010;
}  // namespace evtype

// The audit keywords first, then the level: 1 and 2 are errors, 3 warnings, the rest
// information.
std::uint16_t ClassicEventType(std::uint8_t level, std::uint64_t keywords);

// Seconds since 1970 of a FILETIME, 0 before 1970 and the largest value after 2106.
std::uint32_t UnixSecondsOfFileTime(std::uint64_t fileTime);
std::uint64_t FileTimeOfUnixSeconds(std::uint32_t seconds);

// The fields of the EVENTLOGRECORD for an event: its number, both times from TimeCreated, the
// qualifiers above the event id, the type, the task as category, the provider's event source
// (else its name), the computer, the user's SID, the data values' texts as inserts and the
// binary data.
RecordFields ClassicFields(std::uint32_t recordNumber, const EvtxSystem& system,
                           std::span<const EvtxDataItem> data, platform::ByteSpan binary);

// The fields of a well-formed record; nullopt when its offsets and lengths do not fit it.
std::optional<RecordFields> ParseEventRecord(platform::ByteSpan record);

// The event that stands for a classic record in a log of the given channel: the source as
// provider, unnamed Data items of the inserts, the data as Binary. ClassicFields gives the
// record back (TimeWritten then equals TimeGenerated).
WindowsEventFields ClassicEventFields(const RecordFields& record, std::u16string channel);

}  // namespace qb::sim
