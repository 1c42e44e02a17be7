// A channel's event decoded in full: the record the viewer, the copy and the columns show.
#include "eventlog/event_log.h"
#include "eventlog/event_xml.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "sysutil/datetime.h"
#include "util/format.h"
#include "util/text.h"
#include "util/xml_text.h"

namespace qb {
namespace {

// A file time as a local date-time in whole seconds (the offset in force now).
sysutil::DateTime LocalDateTime(platform::FileTime utc) {
  platform::FileTime local;
  if (!platform::Locale().FileTimeToLocal(utc, local)) local = utc;
  const auto fields = sysutil::FileTimeToSystemTime(local);
  if (!fields) return 0;
  auto whole = *fields;
  whole.wMilliseconds = 0;
  return sysutil::SystemTimeToDateTime(whole).value_or(0.0);
}

// Line breaks as CR LF, whatever the message file had.
std::u16string CrLf(std::u16string_view text) {
  std::u16string s(text);
  std::erase(s, u'\r');
  return util::ReplaceAll(s, u"\n", u"\r\n");
}

}  // namespace

TFWEventLogRecord TFWEventLog::DecodeChannelEvent(TChannelLog& channel, platform::Handle event,
                                                  const TChannelEvent& values, bool withXml) {
  namespace evtflags = platform::evtflags;
  TFWEventLogRecord record;
  record.Number = values.recordId;
  record.EventID = values.eventId;
  record.EventType = ChannelEventType(values.level, values.keywords);
  record.SourceName = values.provider;
  record.ComputerName = values.computer;
  record.UserSid = values.userSid;
  auto names = FAccounts->Resolve(values.userSid);
  record.Account = std::move(names.account);
  record.Domain = std::move(names.domain);
  record.TimeCreated = LocalDateTime(values.timeCreated);
  record.TimeWritten = record.TimeCreated;
  std::u16string xml;
  if (withXml) {
    xml = channel.Xml(event);
    record.Xml = util::IndentXml(xml);
    record.BinData = BinaryDataOf(xml);
  }
  const auto task = channel.Text(values.provider, event, evtflags::kFormatTask);
  record.Category = task ? *task : FLanguage.GetLocaleString(105);
  if (const auto text = channel.Text(values.provider, event, evtflags::kFormatEvent)) {
    record.Description = CrLf(*text);
    return record;
  }
  if (!withXml) xml = channel.Xml(event);
  // Nothing describes the event: say so, and list its data as Windows' own viewer does.
  std::u16string data;
  for (const auto& [name, value] : EventDataOf(xml)) {
    data += u"\r\n";
    data += name.empty() ? value : name + u": " + value;
  }
  record.Description =
      util::Format(FLanguage.GetLocaleString(218),
                   {std::int64_t{values.eventId}, std::u16string_view(values.provider)}) +
      u"\r\n" + data;
  return record;
}

}  // namespace qb
