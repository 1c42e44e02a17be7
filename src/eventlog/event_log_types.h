// The shared record types of the event log subsystem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"
#include "sysutil/datetime.h"

namespace qb {

// A record's number: the classic record number, or a channel event's EventRecordID.
using RecordNumber = std::uint64_t;

enum class TFSOpenState : std::uint8_t { osRead = 0, osWrite = 1, osBackUp = 2, osNotify = 3 };

// A set of open states, one bit per state.
class TFSOpenStates {
 public:
  bool Has(TFSOpenState s) const { return (bits_ & Bit(s)) != 0; }
  void Add(TFSOpenState s) { bits_ = static_cast<std::uint8_t>(bits_ | Bit(s)); }
  void Remove(TFSOpenState s) { bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(s)); }
  bool Empty() const { return bits_ == 0; }

 private:
  static std::uint8_t Bit(TFSOpenState s) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(s));
  }
  std::uint8_t bits_ = 0;
};

// Event types; rtUnknown stands for a type outside the platform's six, so that such a record
// is still listed and shown instead of ending the reading. Channel events have two more
// levels: critical and verbose.
enum class TFWEventLogRecordType : std::uint8_t {
  rtSuccess = 0,
  rtError = 1,
  rtWarning = 2,
  rtInformation = 3,
  rtAuditSuccess = 4,
  rtAuditFailed = 5,
  rtUnknown = 6,
  rtCritical = 7,
  rtVerbose = 8,
};
inline constexpr std::size_t kRecordTypeCount = 9;

struct TFWEventLogRecord {
  RecordNumber Number = 0;
  std::uint32_t EventID = 0;  // low 16 bits of the record's event identifier
  TFWEventLogRecordType EventType = TFWEventLogRecordType::rtSuccess;
  std::u16string Category;
  std::u16string SourceName;
  std::u16string ComputerName;
  std::u16string Account;
  std::u16string Domain;
  sysutil::DateTime TimeCreated = 0;
  sysutil::DateTime TimeWritten = 0;
  std::u16string Description;  // line breaks as CR LF
  platform::Bytes BinData;
  platform::Bytes UserSid;  // the record's SID, which Account and Domain are the names of
  std::u16string Xml;       // a channel event as XML, indented for people; empty otherwise
};

struct TFileItem {
  std::u16string fiName;      // event source
  std::u16string fiType;      // lower-case type word of the current language
  RecordNumber fiNumber = 0;  // record number
  std::uint32_t fiSize = 0;   // event code
  platform::FileTime fiTime;  // time generated, UTC
};

}  // namespace qb
