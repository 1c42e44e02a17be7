// The event log object: the one gateway to the classic event log service. It owns the
// catalogue, the handles of what it has open and the message library cache.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "eventlog/account_cache.h"
#include "eventlog/channel_list.h"
#include "eventlog/channel_log.h"
#include "eventlog/errors.h"
#include "eventlog/event_log_list.h"
#include "eventlog/event_log_types.h"
#include "eventlog/file_item_list.h"
#include "eventlog/handles.h"
#include "eventlog/message_cache.h"
#include "platform/types.h"
#include "platform/ui.h"

namespace qb {

class TLngResource;
class RawEventRecord;

// A channel's logging settings, as the log properties show them.
struct TChannelSettings {
  std::uint64_t maxSize = 0;  // bytes
  bool retention = false;     // events are kept when the log is full: never overwritten
  bool autoBackup = false;    // a full log is archived and a new one begun
  bool guestAccess = false;
};

// Indexes from here on name the channels of TChannelList (index - kFirstChannelIndex); those
// below name the catalogue's classic logs.
inline constexpr std::int32_t kFirstChannelIndex = 0x40000000;
inline bool IsChannelIndex(std::int32_t index) {
  return index >= kFirstChannelIndex;
}
class TFWEventLog;
struct NotifyContext;

// Called once per record; setting `Stop` ends the reading.
using TFWOnReadRecordEvent =
    std::function<void(TFWEventLog& Sender, const TFWEventLogRecord& EventRecord, bool& Stop)>;
using TFWOnReadRecordCallback = void (*)(TFWEventLog* Sender, const TFWEventLogRecord& EventRecord,
                                         bool& Stop);
// Called on the main thread with the newest record after a change of the watched log.
using TFWOnChangeEvent =
    std::function<void(TFWEventLog& Sender, const TFWEventLogRecord& EventRecord)>;
using TFWOnChangeCallback = void (*)(TFWEventLog* Sender, const TFWEventLogRecord& EventRecord);

class TFWEventLog {
 public:
  // Reads the catalogue and finds out once whether the user is an administrator.
  TFWEventLog(TLngResource& language, std::u16string source);
  // Another object for another thread that shares `other`'s catalogue, so that a log index
  // means the same log to both whatever the registry says by now, and its account names, so
  // that a SID is looked up once for both. Message libraries are its own.
  TFWEventLog(TLngResource& language, const TFWEventLog& other);
  // Closes whatever is open and ends a change notification.
  virtual ~TFWEventLog();
  TFWEventLog(const TFWEventLog&) = delete;
  TFWEventLog& operator=(const TFWEventLog&) = delete;

  // --- open states ---
  bool Open(std::int32_t Source, TFSOpenState State);
  bool BackupOpen(const std::u16string& FilePath, std::int32_t Source);
  void Close(TFSOpenState State);
  TFSOpenStates OpenState() const { return FState; }
  const std::u16string& SourceName() const { return FSource; }
  std::int32_t ReadSourceType() const { return Slot(TFSOpenState::osRead).source; }
  std::int32_t WriteSourceType() const { return Slot(TFSOpenState::osWrite).source; }
  std::int32_t BackupSourceType() const { return Slot(TFSOpenState::osBackUp).source; }
  bool IsAdmin() const { return FIsAdmin; }

  // --- catalogue ---
  const TEventLogList& Catalogue() const { return *fRegEventList; }
  // The channels that are not classic logs, read through the channel service at first use
  // and shared with the objects made from this one.
  const TChannelList& Channels() const;
  // Whether the computer has channels besides its classic logs (Vista and later): asked once,
  // without reading their configurations, so that the root lists quickly.
  bool ChannelsAvailable() const;
  // The name of the folder of all channels, in the current language.
  std::u16string ChannelsFolderName() const;
  std::int32_t EventLogCount() const { return fRegEventList->EventLogCount(); }
  std::u16string GetEventLogName(std::int32_t Index) const;
  std::u16string GetEventLogDisplayName(std::int32_t Index) const;
  std::u16string GetEventLogFile(std::int32_t Index) const;
  std::int32_t GetEventLogIndex(std::u16string_view DisplayName) const;
  bool EventLogExists(std::u16string_view DisplayName) const;

  // --- reading ---
  std::uint32_t RecordCount(bool Backup, bool Oldest);
  bool Read(bool Backup, RecordNumber index, TFWEventLogRecord& EventRecord);
  // The event code of record `number` of log `index`, read through a handle of its own: the
  // log open for reading stays as it is, and nothing but the code is decoded.
  std::optional<std::uint32_t> ReadEventCode(std::int32_t index, RecordNumber number);
  // The channel open for reading, nullptr when a classic log (or nothing) is.
  TChannelLog* OpenChannel();
  // An event of `channel` decoded in full: the event handed out by its ReadRange. Without
  // `withXml` the XML is left out (the columns do not show it).
  TFWEventLogRecord DecodeChannelEvent(TChannelLog& channel, platform::Handle event,
                                       const TChannelEvent& values, bool withXml = true);
  // One seek read of the log open for reading from record `number` in one direction: as many
  // whole records as `buffer` holds (it grows for a single larger record). The bytes delivered
  // are buffer[0, delivered); false when nothing could be read.
  bool ReadRun(std::uint32_t number, bool forwards, std::vector<std::byte>& buffer,
               std::size_t& delivered);
  // Counts the clears this object made, so that what others cached of the log can be dropped.
  std::uint64_t Clears() const { return FClears; }
  // The logs are listed afresh: their account names are asked again, by every object sharing
  // them.
  void ForgetAccountNames() { FSharedAccounts->Forget(); }
  bool Read(bool Backup, bool Forwards, const TFWOnReadRecordEvent& CallbackEvent);
  bool Read(bool Backup, bool Forwards, TFWOnReadRecordCallback lpfnCallback);
  bool Read(bool Backup, bool Forwards, std::vector<TFileItem>* list);
  // The same into the compact list of a listing.
  bool Read(bool Backup, bool Forwards, TFileItemList* list);

  // The type word of the current language (language strings 100-105), lower case on request
  // ("AsLoverCase": the inherited spelling of the parameter, kept as named).
  std::u16string EventTypeToString(TFWEventLogRecordType EventType, bool AsLoverCase) const;

  // --- message texts ---
  std::u16string GetCategoryText(const std::u16string& source, std::int32_t index,
                                 std::uint16_t category);
  std::u16string GetDescriptionText(const std::u16string& source, std::int32_t index,
                                    const std::vector<std::u16string>& inserts,
                                    std::uint32_t eventId);
  std::u16string LookupMessage(const std::u16string& source, const std::u16string& valueName,
                               std::uint32_t id, const std::vector<std::u16string>* inserts,
                               std::int32_t index);
  const TFWMessageTableLibraryes& MessageLibraries() const { return MessageTableLibraryes; }

  // --- decoding ---
  TFWEventLogRecord DecodeEventRecord(std::int32_t index, const RawEventRecord& raw);
  TFileItem DecodeFileItem(const RawEventRecord& raw) const;

  // --- maintenance ---
  // Of the log open for reading, a classic log or a channel (EvtClearLog, EvtExportLog).
  bool Clear(const std::u16string& BackupPath);
  bool CreateBackup(const std::u16string& FilePath);
  // A channel's settings as its configuration has them; nullopt (and the error) when it cannot
  // be read, or for a classic log.
  std::optional<TChannelSettings> ReadChannelSettings(std::int32_t index);
  // Writes a channel's retention choice (EvtSetChannelConfigProperty, EvtSaveChannelConfig).
  bool WriteChannelRetention(std::int32_t index, bool retention, bool autoBackup);
  bool IsEventLogFull();
  bool Write(TFWEventLogRecordType RecType, const std::u16string& Msg, const void* RAWData,
             std::int32_t RAWDataSize, std::uint16_t Category, std::uint16_t EventID);
  bool Write(TFWEventLogRecordType RecType, const std::u16string& Msg, std::uint16_t Category,
             std::uint16_t EventID);

  // --- change notification ---
  bool RegisterChangeNotify(const TFWOnChangeEvent& Event);
  bool RegisterChangeNotify(TFWOnChangeCallback Callback);
  void DeRegisterChangeNotify();
  // The hidden error window's procedure; a matching WM_USER ends the notification and raises
  // the notification error.
  virtual std::intptr_t ErrorWndProc(std::uint32_t Msg, std::uintptr_t WParam,
                                     std::intptr_t LParam);
  platform::Handle ErrorWindow() const;

  // --- event source registration ---
  bool RegisterApp(std::int32_t CategoryCount);
  // Removes the registration. `quiet`: as the library unloads, when no window may appear, the
  // failure is not shown (the user saw message 200 when the library loaded).
  bool DeregisterApp(bool quiet = false);
  bool IsRegistered() const;
  // Where the registration's failure message goes instead of a message box of its own (the
  // plugin shows it once its lock is let go). Text and MessageBox flags.
  using NoticeSink = std::function<void(std::u16string text, std::uint32_t flags)>;
  void SetNoticeSink(NoticeSink sink) { FNoticeSink = std::move(sink); }

  // The platform's error of the last service call that failed (open, read, clear, backup,
  // write), so that callers can tell the user why.
  platform::ErrorCode LastError() const { return FLastError; }

  // The library is being unloaded, under the loader lock: from now on nothing waits for
  // another thread and no library is freed (message libraries keep the reference they have;
  // they are data-file mappings, or modules of the process that outlive us anyway).
  void PrepareForUnload() { FUnloading = true; }

  // Platform reads made so far, for measurements.
  std::uint64_t PlatformReads() const { return FPlatformReads; }

 private:
  friend struct NotifyContext;
  using RecordAction = std::function<bool(const RawEventRecord&)>;  // false: stop

  // What an open state holds: its handle and the catalogue index it was opened for.
  struct OpenSlot {
    ServiceHandle handle;
    std::unique_ptr<TChannelLog> channel;  // instead of the handle, for a channel
    std::int32_t source = 0;
  };
  OpenSlot& Slot(TFSOpenState State) { return FSlots[static_cast<std::size_t>(State)]; }
  const OpenSlot& Slot(TFSOpenState State) const { return FSlots[static_cast<std::size_t>(State)]; }
  // The slot of a state that must be open (EFWEventLog "wrong mode" otherwise).
  const OpenSlot& OpenedSlot(TFSOpenState State) const;

  bool OpenState(std::int32_t Source, TFSOpenState State, const std::u16string& FilePath);
  // The service call that opens a handle for `State`.
  platform::ErrorCode OpenHandle(TFSOpenState State, std::int32_t Source,
                                 const std::u16string& FilePath, platform::Handle& handle);
  void ChooseHandle(bool Backup, platform::Handle& handle, std::int32_t& index) const;
  bool ReadRecordAt(platform::Handle handle, std::int32_t index, std::uint32_t number,
                    TFWEventLogRecord& EventRecord);
  // One seek read through `handle`: as many whole records as `buffer` holds (one record's
  // worth when it is empty), grown once for a single larger record.
  bool ReadRunWith(platform::Handle handle, std::uint32_t number, bool forwards,
                   std::vector<std::byte>& buffer, std::size_t& delivered);
  bool ReadAllRecords(platform::Handle handle, std::int32_t index, bool Forwards,
                      const RecordAction& action);
  void ReleaseMessageLibraries();
  bool IsUserAdmin() const;
  // What is known of a message (by log, value name, source and number): the libraries that
  // have it, in search order, with the highest insert each text names, and the libraries
  // tried so far. A record picks the first one its inserts fit; the search goes on past the
  // tried ones only when none fits and it has not reached the end yet.
  struct CachedMessage {
    struct Found {
      platform::Handle module = 0;
      std::size_t highest = 0;
    };
    std::vector<Found> found;
    std::vector<platform::Handle> tried;
    bool complete = false;
  };
  std::u16string FormatMessageFrom(platform::Handle module, std::uint32_t id,
                                   const std::vector<std::u16string>* inserts,
                                   std::size_t* highest = nullptr);
  std::u16string FormatKnownMessage(platform::Handle module, std::uint32_t id,
                                    const std::vector<std::u16string>* inserts);
  std::u16string SearchMessage(const std::u16string& source, const std::u16string& valueName,
                               std::uint32_t id, const std::vector<std::u16string>* inserts,
                               std::int32_t index, CachedMessage& entry);
  [[noreturn]] void RaiseWrongMode(std::u16string_view mode) const;
  void RefreshTypeWords() const;
  bool StartNotify(const TFWOnChangeEvent& Event, TFWOnChangeCallback Callback);
  void HandleChange();
  void ReportNotifyError(platform::ErrorCode code);
  void ShowRegistrationError() const;

  TLngResource& FLanguage;
  std::u16string FSource;
  std::u16string FRegisterKey;
  bool FIsAdmin = false;
  TFSOpenStates FState;
  // One slot per open state (osRead, osWrite, osBackUp, osNotify), in that order.
  std::array<OpenSlot, 4> FSlots;
  TFWMessageTableLibraryes MessageTableLibraryes;
  // Messages found, by log, value name, source and message number; valid while the libraries are.
  std::map<std::u16string, CachedMessage> FMessageCache;
  std::shared_ptr<NotifyContext> FNotifyThread;
  std::unique_ptr<platform::IMessageWindow> FErrorWnd;
  // Windows of ended notifications: destroyed with the object, never inside their own procedure.
  std::vector<std::unique_ptr<platform::IMessageWindow>> FRetiredWnds;
  // Notification threads; joined when the object goes, so none runs on after an unload.
  std::vector<std::thread> FNotifyThreads;
  TFWOnReadRecordCallback FOnReadRecordCallback = nullptr;
  std::shared_ptr<const TEventLogList> fRegEventList;
  // Read at first use, once for all objects that share it.
  struct ChannelCatalogue {
    std::once_flag once;
    std::shared_ptr<const TChannelList> list;
    std::once_flag asked;
    bool available = false;
  };
  std::shared_ptr<ChannelCatalogue> FChannels = std::make_shared<ChannelCatalogue>();
  std::u16string FEventMessageFile;
  std::u16string FCategoryMessageFile;
  platform::ErrorCode FLastError = 0;
  std::uint64_t FPlatformReads = 0;
  // The account names of the log open for reading, shared with the other objects that have
  // it open; a cache of this object's own while none is.
  std::shared_ptr<SharedAccountNames> FSharedAccounts;
  std::shared_ptr<AccountNameCache> FAccounts = std::make_shared<AccountNameCache>();
  bool FUnloading = false;
  NoticeSink FNoticeSink;
  std::uint64_t FClears = 0;
  // Type words of the current language, refreshed when the language changes.
  mutable std::uint64_t FTypeWordsGeneration = ~std::uint64_t{0};
  mutable std::array<std::u16string, kRecordTypeCount> FTypeWords;
  mutable std::array<std::u16string, kRecordTypeCount> FTypeWordsLower;
};

// Platform event type of a record type (writing); EFWEventLog 65176 for one it cannot map.
std::uint16_t RecordTypeToEventType(TFWEventLogRecordType RecType);
// Record type of a platform event type; rtUnknown outside the six.
TFWEventLogRecordType EventTypeToRecordType(std::uint16_t EventType);

}  // namespace qb
