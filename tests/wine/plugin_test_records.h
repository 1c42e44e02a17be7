// The records the test gives the plugin's Application log, and what the plugin should make of
// them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/services/eventlog_service.h"

namespace qb::winetest {

// The event source whose message library the test builds and registers.
inline constexpr wchar_t kTestSource[] = L"TestSource";
inline constexpr wchar_t kOwnSource[] = L"Quillerbankton";

struct TestRecord {
  sim::RecordFields contents;
  // What the plugin should show for it.
  std::wstring typeWord;  // the lower-case word for the event type
  std::wstring category;
  std::wstring user;         // "DOMAIN\name" as the system names the SID, "N\A" without one
  std::wstring description;  // empty where no message library has the text: the fallback
};

// Which record is which, by position in the log (oldest first).
enum RecordIndex : std::size_t {
  kOwnRecord,           // the plugin's own source: message 0 "%1", category 1
  kFormattedRecord,     // TestSource 0x40000001 with both inserts, a SID and binary data
  kTooFewInsertsRecord  // TestSource 0xC0000002 names three inserts and gets two
};

// S-1-5-18, the local system account.
platform::Bytes LocalSystemSid();

// The records, oldest first, covering every event type.
std::vector<TestRecord> ApplicationRecords();

// The file name the plugin lists the record under: "[<number>] <source>.<type word>".
std::wstring ListedName(const TestRecord& record);

// The text shown when no message library describes the event: the event code, the source and
// the inserts, each followed by a line break.
std::wstring FallbackDescription(const TestRecord& record);

// The description the plugin should show.
std::wstring ExpectedDescription(const TestRecord& record);

// The event code: the low 16 bits of the identifier.
inline std::uint32_t EventCode(const TestRecord& record) {
  return record.contents.eventId & 0xFFFF;
}

// Appends the records to `log` and gives each its record number; false when the log did not
// number them as expected.
bool StoreRecords(sim::SimEventLog& log, std::vector<TestRecord>& records);

}  // namespace qb::winetest
