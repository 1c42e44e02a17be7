// One channel, or one .evtx file, read through the channel service: the listing, events by
// record number, runs of events for the columns. Its handles are its own and closed with it;
// queries serve the thread that made them (the host's background thread reads through an
// object of its own). Publisher metadata is opened once per provider while it lives.
#pragma once

#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "eventlog/event_log_types.h"
#include "eventlog/file_item_list.h"
#include "platform/channel_service.h"

namespace qb {

// The system values of an event the plugin uses.
struct TChannelEvent {
  std::u16string provider;
  std::uint16_t eventId = 0;
  std::uint8_t level = 0;
  std::uint16_t task = 0;
  std::uint64_t keywords = 0;
  platform::FileTime timeCreated;
  RecordNumber recordId = 0;
  std::u16string computer;
  platform::Bytes userSid;
};

// The record type of a channel event: the audit keywords first, then its level.
TFWEventLogRecordType ChannelEventType(std::uint8_t level, std::uint64_t keywords);

class TChannelLog {
 public:
  // `path` is a channel's name, or an .evtx file's path with `isFile`.
  TChannelLog(std::u16string path, bool isFile);
  ~TChannelLog();
  TChannelLog(const TChannelLog&) = delete;
  TChannelLog& operator=(const TChannelLog&) = delete;

  const std::u16string& Path() const { return fPath; }
  bool IsFile() const { return fIsFile; }
  // The service's error of the last call that failed.
  platform::ErrorCode LastError() const { return fLastError; }
  // Service calls made so far, for measurements.
  std::uint64_t ServiceCalls() const { return fCalls; }

  // Whether the log can be read at all (a query of it can be made).
  bool Check();
  // The newest (or oldest) event's system values; nullopt for an empty log.
  std::optional<TChannelEvent> Edge(bool newest);
  // The number of events and the oldest one's number; nullopt when the service cannot say.
  std::optional<std::uint64_t> Count();
  std::optional<std::uint64_t> Oldest();

  // Every event, newest first unless `forwards`, into the list. False when the reading stopped
  // before the end (what was read stays in the list).
  bool List(bool forwards, TFileItemList& list);

  using Visit = std::function<bool(platform::Handle event, const TChannelEvent& values)>;
  // Every event, in that direction, as ReadRange hands them out.
  bool ReadAll(bool forwards, const Visit& visit);

  // The events numbered `first` to `last` in one query, in that direction: `visit` gets each
  // one's handle (valid during the call) and system values, and ends the walk by returning
  // false. False when the query fails.
  bool ReadRange(RecordNumber first, RecordNumber last, bool forwards, const Visit& visit);

  // Of an event handed to `visit`: its data values (EvtRenderContextUser), its XML, and a text
  // of its publisher (EvtFormatMessage with `flags`). A partial text counts; nullopt when there
  // is none.
  std::vector<platform::EvtValue> Data(platform::Handle event);
  std::u16string Xml(platform::Handle event);
  std::optional<std::u16string> Text(const std::u16string& provider, platform::Handle event,
                                     std::uint32_t flags);

 private:
  bool Query(std::u16string_view query, bool forwards, platform::Handle& results);
  // A number EvtGetLogInfo gives of the log.
  std::optional<std::uint64_t> LogInfo(platform::EvtLogProperty id);
  // Hands out the query's events, at most `limit` of them.
  bool Walk(platform::Handle results, const Visit& visit,
            std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());
  platform::Handle Context(std::uint32_t flags, platform::Handle& cache);

  std::u16string fPath;
  bool fIsFile = false;
  platform::ErrorCode fLastError = 0;
  std::uint64_t fCalls = 0;
  platform::Handle fSystemContext = 0;
  platform::Handle fUserContext = 0;
  // Metadata by provider; 0 where the provider has none.
  std::map<std::u16string, platform::Handle> fMetadata;
  std::vector<platform::EvtValue> fValues;  // reused for every event's system values
};

}  // namespace qb
