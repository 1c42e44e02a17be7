// Turning raw records into the full record and the light list item.
#include "eventlog/record_decoder.h"

#include "eventlog/event_log.h"
#include "eventlog/raw_record.h"
#include "platform/platform.h"
#include "sysutil/datetime.h"
#include "sysutil/windows_version.h"
#include "util/text.h"

namespace qb {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kUnixEpochFileTimeSeconds = 11'644'473'600;
constexpr std::uint32_t kAccountBuffer = 260;

}  // namespace

platform::FileTime UtcFileTime(std::uint32_t seconds) {
  return platform::FileTime::from((kUnixEpochFileTimeSeconds + seconds) * kTicksPerSecond);
}

sysutil::DateTime RecordTimeToLocal(std::uint32_t seconds) {
  platform::FileTime local;
  if (!platform::Locale().FileTimeToLocal(UtcFileTime(seconds), local)) {
    local = UtcFileTime(seconds);
  }
  const auto fields = sysutil::FileTimeToSystemTime(local);
  if (!fields) return sysutil::MakeDateTime(25569 + seconds / 86400, seconds % 86400);
  return sysutil::SystemTimeToDateTime(*fields).value_or(0.0);
}

void LookupRecordAccount(std::span<const std::byte> sid, std::u16string& account,
                         std::u16string& domain) {
  account.clear();
  domain.clear();
  if (sid.empty()) return;
  std::u16string name;
  std::u16string dom;
  if (platform::Accounts().LookupAccountSid(sid, kAccountBuffer, kAccountBuffer, name, dom) !=
      platform::err::kSuccess) {
    return;
  }
  account = util::UpToZero(name);
  domain = util::UpToZero(dom);
}

std::u16string NormalizeLineBreaks(std::u16string_view text, std::uint32_t osMajorVersion) {
  std::u16string s(text);
  if (osMajorVersion == 5) s = util::ReplaceAll(s, u"\r\n\r\n", u"\r\n");
  std::erase(s, u'\r');
  return util::ReplaceAll(s, u"\n", u"\r\n");
}

TFWEventLogRecord TFWEventLog::DecodeEventRecord(std::int32_t index, const RawEventRecord& raw) {
  TFWEventLogRecord record;
  record.Number = raw.RecordNumber();
  record.EventID = raw.EventID() & 0xFFFF;
  record.EventType = EventTypeToRecordType(raw.EventType());
  record.SourceName = raw.SourceName();
  record.Category = GetCategoryText(record.SourceName, index, raw.EventCategory());
  record.ComputerName = raw.ComputerName();
  const auto sid = raw.UserSid();
  record.UserSid.assign(sid.begin(), sid.end());
  auto names = FAccounts->Resolve(sid);
  record.Account = std::move(names.account);
  record.Domain = std::move(names.domain);
  record.TimeCreated = RecordTimeToLocal(raw.TimeGenerated());
  record.TimeWritten = RecordTimeToLocal(raw.TimeWritten());
  const std::vector<std::u16string> inserts = raw.Strings();
  record.Description =
      NormalizeLineBreaks(GetDescriptionText(record.SourceName, index, inserts, raw.EventID()),
                          sysutil::GetOSMajorVersion());
  const auto data = raw.Data();
  record.BinData.assign(data.begin(), data.end());
  return record;
}

TFileItem TFWEventLog::DecodeFileItem(const RawEventRecord& raw) const {
  TFileItem item;
  item.fiName = raw.SourceName();
  item.fiSize = raw.EventID() & 0xFFFF;
  item.fiNumber = raw.RecordNumber();
  item.fiType = EventTypeToString(EventTypeToRecordType(raw.EventType()), true);
  // Local time and back with the same offset is the UTC time itself, in whole seconds.
  item.fiTime = UtcFileTime(raw.TimeGenerated());
  return item;
}

}  // namespace qb
