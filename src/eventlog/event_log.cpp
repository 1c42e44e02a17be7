#include "eventlog/event_log.h"

#include <algorithm>

#include "eventlog/raw_record.h"
#include "eventlog/record_decoder.h"
#include "localization/language.h"
#include "platform/platform.h"
#include "util/format.h"

namespace qb {
namespace {

namespace err = platform::err;
namespace evflags = platform::evflags;

constexpr char16_t kApplicationKey[] =
    u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// One read brings many records: the buffer starts large and grows only for a larger record.
// ReadEventLogW accepts at most 0x7FFFF bytes.
constexpr std::uint32_t kReadBufferStart = 64 * 1024;
constexpr std::uint32_t kSingleRecordBuffer = 4 * 1024;

// What differs between the open states: the name messages give them and how their handles
// are closed.
struct StateRow {
  std::u16string_view name;
  ServiceHandle::Kind kind;
};
constexpr StateRow kStates[] = {
    {u"osRead", ServiceHandle::Kind::kLog},
    {u"osWrite", ServiceHandle::Kind::kSource},
    {u"osBackUp", ServiceHandle::Kind::kLog},
    {u"osNotify", ServiceHandle::Kind::kLog},
};

const StateRow& RowOf(TFSOpenState state) {
  return kStates[static_cast<std::size_t>(state)];
}

}  // namespace

TFWEventLog::TFWEventLog(TLngResource& language, std::u16string source)
    : FLanguage(language), FSource(std::move(source)) {
  fRegEventList = std::make_shared<const TEventLogList>(language);
  FSharedAccounts = std::make_shared<SharedAccountNames>();
  FRegisterKey = kApplicationKey + FSource;
  FIsAdmin = IsUserAdmin();
  FEventMessageFile = OwnString(res::kEventMessageFile, u"EventMessageFile");
  FCategoryMessageFile = OwnString(res::kCategoryMessageFile, u"CategoryMessageFile");
}

TFWEventLog::TFWEventLog(TLngResource& language, const TFWEventLog& other)
    : FLanguage(language),
      FSource(other.FSource),
      FRegisterKey(other.FRegisterKey),
      FIsAdmin(other.FIsAdmin),
      fRegEventList(other.fRegEventList),
      FChannels(other.FChannels),
      FEventMessageFile(other.FEventMessageFile),
      FCategoryMessageFile(other.FCategoryMessageFile),
      FSharedAccounts(other.FSharedAccounts) {}

TFWEventLog::~TFWEventLog() {
  try {
    for (auto state : {TFSOpenState::osRead, TFSOpenState::osWrite, TFSOpenState::osBackUp}) {
      if (FState.Has(state)) Close(state);
    }
    if (FState.Has(TFSOpenState::osNotify)) DeRegisterChangeNotify();
  } catch (...) {
    // Destruction must finish: the host's process depends on it.
  }
  // Ended threads stop within one wait step and never wait for this thread any more. At unload
  // no thread is waited for: the plugin itself never starts one, and a wait under the loader
  // lock could hang the host.
  for (auto& thread : FNotifyThreads) {
    if (!thread.joinable()) continue;
    if (FUnloading) {
      thread.detach();
    } else {
      thread.join();
    }
  }
}

const TChannelList& TFWEventLog::Channels() const {
  std::call_once(FChannels->once, [this] { FChannels->list = TChannelList::Read(); });
  return *FChannels->list;
}

bool TFWEventLog::ChannelsAvailable() const {
  std::call_once(FChannels->asked, [this] {
    auto& service = platform::Channels();
    platform::Handle channels = 0;
    if (service.OpenChannelEnum(channels) != err::kSuccess) return;
    // Only a channel besides the classic logs fills the folder of all channels; the
    // enumeration names one among its first few.
    const auto classic = [&service](const std::u16string& path) {
      platform::Handle config = 0;
      if (service.OpenChannelConfig(path, config) != err::kSuccess) return true;
      platform::EvtValue value;
      const bool isClassic =
          service.GetChannelConfigProperty(config, platform::EvtChannelConfig::kClassicEventlog,
                                           value) == err::kSuccess &&
          value.number != 0;
      service.Close(config);
      return isClassic;
    };
    std::u16string path;
    while (!FChannels->available && service.NextChannelPath(channels, path) == err::kSuccess)
      FChannels->available = !classic(path);
    service.Close(channels);
  });
  return FChannels->available;
}

std::u16string TFWEventLog::ChannelsFolderName() const {
  return FLanguage.GetLocaleString(216);
}

// A channel's name is its path; its display name the folder it is listed in; its file the
// file its configuration names.
std::u16string TFWEventLog::GetEventLogName(std::int32_t Index) const {
  if (IsChannelIndex(Index)) {
    return Channels().Item(static_cast<std::size_t>(Index - kFirstChannelIndex)).ciPath;
  }
  return fRegEventList->GetEventLogName(Index);
}
std::u16string TFWEventLog::GetEventLogDisplayName(std::int32_t Index) const {
  if (IsChannelIndex(Index)) {
    std::u16string name = ChannelsFolderName();
    for (const auto& folder :
         Channels().Item(static_cast<std::size_t>(Index - kFirstChannelIndex)).ciFolders) {
      name += u"\\" + folder;
    }
    return name;
  }
  return fRegEventList->GetEventLogDisplayName(Index);
}
std::u16string TFWEventLog::GetEventLogFile(std::int32_t Index) const {
  if (IsChannelIndex(Index)) {
    const std::u16string& file =
        Channels().Item(static_cast<std::size_t>(Index - kFirstChannelIndex)).ciFile;
    return file.empty() ? FLanguage.GetLocaleString(37) : file;
  }
  return fRegEventList->GetEventLogFile(Index);
}
std::int32_t TFWEventLog::GetEventLogIndex(std::u16string_view DisplayName) const {
  return fRegEventList->GetEventLogIndex(DisplayName);
}
bool TFWEventLog::EventLogExists(std::u16string_view DisplayName) const {
  return fRegEventList->EventLogExists(DisplayName);
}

void TFWEventLog::RaiseWrongMode(std::u16string_view mode) const {
  throw EFWEventLog(util::Format(OwnString(res::kWrongMode), {mode}));
}

bool TFWEventLog::Open(std::int32_t Source, TFSOpenState State) {
  return OpenState(Source, State, u"");
}

bool TFWEventLog::BackupOpen(const std::u16string& FilePath, std::int32_t Source) {
  return OpenState(Source, TFSOpenState::osBackUp, FilePath);
}

platform::ErrorCode TFWEventLog::OpenHandle(TFSOpenState State, std::int32_t Source,
                                            const std::u16string& FilePath,
                                            platform::Handle& handle) {
  auto& service = platform::EventLogService();
  switch (State) {
    case TFSOpenState::osRead:
    case TFSOpenState::osNotify:
      if (IsChannelIndex(Source)) return err::kInvalidParameter;
      return service.OpenEventLog(fRegEventList->GetEventLogName(Source), handle);
    case TFSOpenState::osWrite:
      return service.RegisterEventSource(FSource, handle);
    case TFSOpenState::osBackUp:
      return service.OpenBackupEventLog(FilePath, handle);
  }
  return err::kInvalidParameter;
}

bool TFWEventLog::OpenState(std::int32_t Source, TFSOpenState State,
                            const std::u16string& FilePath) {
  if (FState.Has(State)) {
    throw EFWEventLog(util::Format(FLanguage.GetLocaleString(202), {RowOf(State).name}));
  }
  if (State == TFSOpenState::osNotify) throw EFWEventLog(OwnString(res::kNotifyMode));
  OpenSlot& slot = Slot(State);
  if (State == TFSOpenState::osRead && IsChannelIndex(Source)) {
    if (static_cast<std::size_t>(Source - kFirstChannelIndex) >= Channels().Count()) {
      FLastError = err::kEvtChannelNotFound;
      return false;
    }
    auto channel = std::make_unique<TChannelLog>(GetEventLogName(Source), false);
    if (!channel->Check()) {
      FLastError = channel->LastError();
      return false;
    }
    slot.channel = std::move(channel);
  } else {
    platform::Handle handle = 0;
    FLastError = OpenHandle(State, Source, FilePath, handle);
    if (handle == 0) return false;
    slot.handle = ServiceHandle(RowOf(State).kind, handle);
  }
  slot.source = Source;
  FState.Add(State);
  if (State == TFSOpenState::osRead) FAccounts = FSharedAccounts->Acquire(GetEventLogName(Source));
  return true;
}

void TFWEventLog::Close(TFSOpenState State) {
  if (!FState.Has(State)) return;
  if (State == TFSOpenState::osNotify) throw EFWEventLog(OwnString(res::kNotifyMode));
  OpenSlot& slot = Slot(State);
  slot.handle.reset();
  slot.channel.reset();
  FState.Remove(State);
  if (State == TFSOpenState::osRead) {
    ReleaseMessageLibraries();
    // Names are kept while the log is open; a thread still resolving keeps the old cache.
    FSharedAccounts->Release(GetEventLogName(slot.source), FAccounts);
    FAccounts = std::make_shared<AccountNameCache>();
  } else if (State == TFSOpenState::osBackUp && !FState.Has(TFSOpenState::osRead)) {
    ReleaseMessageLibraries();
  }
}

const TFWEventLog::OpenSlot& TFWEventLog::OpenedSlot(TFSOpenState State) const {
  if (!FState.Has(State)) RaiseWrongMode(RowOf(State).name);
  return Slot(State);
}

void TFWEventLog::ReleaseMessageLibraries() {
  for (auto& entry : MessageTableLibraryes.Item) {
    entry.sLibName.clear();
    // Under the loader lock no library is freed: the reference goes with the process.
    if (FUnloading) entry.hLibHandle.abandon();
  }
  MessageTableLibraryes.Item.clear();
  MessageTableLibraryes.Count = 0;
  FMessageCache.clear();
}

void TFWEventLog::ChooseHandle(bool Backup, platform::Handle& handle, std::int32_t& index) const {
  const OpenSlot& slot = OpenedSlot(Backup ? TFSOpenState::osBackUp : TFSOpenState::osRead);
  handle = slot.handle.get();
  index = slot.source;
}

TChannelLog* TFWEventLog::OpenChannel() {
  return FState.Has(TFSOpenState::osRead) ? Slot(TFSOpenState::osRead).channel.get() : nullptr;
}

std::uint32_t TFWEventLog::RecordCount(bool Backup, bool Oldest) {
  platform::Handle handle = 0;
  std::int32_t index = 0;
  ChooseHandle(Backup, handle, index);
  if (TChannelLog* channel = Backup ? nullptr : OpenChannel()) {
    const auto value = Oldest ? channel->Oldest() : channel->Count();
    FLastError = channel->LastError();
    return value ? static_cast<std::uint32_t>(std::min<std::uint64_t>(*value, 0xFFFFFFFFu)) : 0;
  }
  std::uint32_t value = 0;
  auto& service = platform::EventLogService();
  const auto error =
      Oldest ? service.GetOldestRecord(handle, value) : service.GetNumberOfRecords(handle, value);
  return error == err::kSuccess ? value : 0;
}

bool TFWEventLog::Read(bool Backup, RecordNumber index, TFWEventLogRecord& EventRecord) {
  platform::Handle handle = 0;
  std::int32_t source = 0;
  ChooseHandle(Backup, handle, source);
  if (TChannelLog* channel = Backup ? nullptr : OpenChannel()) {
    bool found = false;
    channel->ReadRange(index, index, true, [&](platform::Handle event, const TChannelEvent& e) {
      EventRecord = DecodeChannelEvent(*channel, event, e);
      found = true;
      return false;
    });
    FLastError = channel->LastError();
    return found;
  }
  // A classic record's number has 32 bits.
  if (index > 0xFFFFFFFFu) return false;
  return ReadRecordAt(handle, source, static_cast<std::uint32_t>(index), EventRecord);
}

std::optional<std::uint32_t> TFWEventLog::ReadEventCode(std::int32_t index, RecordNumber number) {
  if (IsChannelIndex(index)) {
    if (static_cast<std::size_t>(index - kFirstChannelIndex) >= Channels().Count()) {
      return std::nullopt;
    }
    TChannelLog channel(GetEventLogName(index), false);
    std::optional<std::uint32_t> code;
    channel.ReadRange(number, number, true, [&](platform::Handle, const TChannelEvent& event) {
      code = event.eventId;
      return false;
    });
    return code;
  }
  if (index <= 0 || index >= fRegEventList->EventLogCount() || number > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  platform::Handle opened = 0;
  FLastError =
      platform::EventLogService().OpenEventLog(fRegEventList->GetEventLogName(index), opened);
  const ServiceHandle log(ServiceHandle::Kind::kLog, opened);
  if (!log) return std::nullopt;
  std::vector<std::byte> buffer;
  std::size_t delivered = 0;
  if (!ReadRunWith(log.get(), static_cast<std::uint32_t>(number), true, buffer, delivered)) {
    return std::nullopt;
  }
  const auto raw = RawEventRecord::At(std::span<const std::byte>(buffer).first(delivered), 0);
  if (!raw || raw->RecordNumber() != number) return std::nullopt;
  return raw->EventID() & 0xFFFF;
}

bool TFWEventLog::Read(bool Backup, bool Forwards, const TFWOnReadRecordEvent& CallbackEvent) {
  platform::Handle handle = 0;
  std::int32_t source = 0;
  ChooseHandle(Backup, handle, source);
  if (!CallbackEvent) throw EFWEventLog(OwnString(res::kNoCallback));
  if (TChannelLog* channel = Backup ? nullptr : OpenChannel()) {
    const bool complete =
        channel->ReadAll(Forwards, [&](platform::Handle event, const TChannelEvent& values) {
          const TFWEventLogRecord record = DecodeChannelEvent(*channel, event, values);
          bool stop = false;
          CallbackEvent(*this, record, stop);
          return !stop;
        });
    FLastError = channel->LastError();
    return complete;
  }
  return ReadAllRecords(handle, source, Forwards, [&](const RawEventRecord& raw) {
    const TFWEventLogRecord record = DecodeEventRecord(source, raw);
    bool stop = false;
    CallbackEvent(*this, record, stop);
    return !stop;
  });
}

bool TFWEventLog::Read(bool Backup, bool Forwards, TFWOnReadRecordCallback lpfnCallback) {
  FOnReadRecordCallback = lpfnCallback;
  struct ClearCallback {
    TFWEventLog* self;
    ~ClearCallback() { self->FOnReadRecordCallback = nullptr; }
  } clear{this};
  return Read(
      Backup, Forwards,
      TFWOnReadRecordEvent([this](TFWEventLog&, const TFWEventLogRecord& record, bool& stop) {
        if (FOnReadRecordCallback != nullptr) {
          const TFWEventLogRecord copy = record;
          FOnReadRecordCallback(this, copy, stop);
        }
      }));
}

bool TFWEventLog::Read(bool Backup, bool Forwards, std::vector<TFileItem>* list) {
  if (list == nullptr) return false;
  platform::Handle handle = 0;
  std::int32_t source = 0;
  ChooseHandle(Backup, handle, source);
  RefreshTypeWords();
  if (TChannelLog* channel = Backup ? nullptr : OpenChannel()) {
    const bool complete =
        channel->ReadAll(Forwards, [&](platform::Handle, const TChannelEvent& event) {
          TFileItem item;
          item.fiName = event.provider;
          item.fiType = EventTypeToString(ChannelEventType(event.level, event.keywords), true);
          item.fiNumber = event.recordId;
          item.fiSize = event.eventId;
          item.fiTime = event.timeCreated;
          list->push_back(std::move(item));
          return true;
        });
    FLastError = channel->LastError();
    return complete;
  }
  return ReadAllRecords(handle, source, Forwards, [&](const RawEventRecord& raw) {
    list->push_back(DecodeFileItem(raw));
    return true;
  });
}

bool TFWEventLog::Read(bool Backup, bool Forwards, TFileItemList* list) {
  if (list == nullptr) return false;
  platform::Handle handle = 0;
  std::int32_t source = 0;
  ChooseHandle(Backup, handle, source);
  RefreshTypeWords();
  list->SetTypeWords(FTypeWordsLower);
  if (TChannelLog* channel = Backup ? nullptr : OpenChannel()) {
    const bool complete = channel->List(Forwards, *list);
    FLastError = channel->LastError();
    return complete;
  }
  std::u16string name;
  return ReadAllRecords(handle, source, Forwards, [&](const RawEventRecord& raw) {
    raw.SourceNameInto(name);
    list->Add(raw.RecordNumber(), raw.EventID() & 0xFFFF, UtcFileTime(raw.TimeGenerated()), name,
              EventTypeToRecordType(raw.EventType()));
    return true;
  });
}

bool TFWEventLog::ReadRun(std::uint32_t number, bool forwards, std::vector<std::byte>& buffer,
                          std::size_t& delivered) {
  platform::Handle handle = 0;
  std::int32_t source = 0;
  ChooseHandle(false, handle, source);
  if (buffer.size() < kReadBufferStart) buffer.resize(kReadBufferStart);
  return ReadRunWith(handle, number, forwards, buffer, delivered);
}

bool TFWEventLog::ReadRunWith(platform::Handle handle, std::uint32_t number, bool forwards,
                              std::vector<std::byte>& buffer, std::size_t& delivered) {
  auto& service = platform::EventLogService();
  const std::uint32_t flags =
      evflags::kSeekRead | (forwards ? evflags::kForwardsRead : evflags::kBackwardsRead);
  if (buffer.empty()) buffer.resize(kSingleRecordBuffer);
  ++FPlatformReads;
  platform::ReadResult result = service.ReadEventLog(handle, flags, number, buffer);
  if (result.error == err::kInsufficientBuffer) {
    if (result.bytesNeeded <= buffer.size() || result.bytesNeeded > platform::kMaxReadBuffer)
      return false;
    buffer.resize(result.bytesNeeded);
    ++FPlatformReads;
    result = service.ReadEventLog(handle, flags, number, buffer);
  }
  FLastError = result.error;
  delivered = std::min<std::size_t>(result.bytesRead, buffer.size());
  return result.error == err::kSuccess && delivered > 0;
}

bool TFWEventLog::ReadRecordAt(platform::Handle handle, std::int32_t index, std::uint32_t number,
                               TFWEventLogRecord& EventRecord) {
  std::vector<std::byte> buffer;
  std::size_t delivered = 0;
  if (!ReadRunWith(handle, number, true, buffer, delivered)) return false;
  const auto raw = RawEventRecord::At(std::span<const std::byte>(buffer).first(delivered), 0);
  if (!raw) return false;
  EventRecord = DecodeEventRecord(index, *raw);
  return true;
}

bool TFWEventLog::ReadAllRecords(platform::Handle handle, std::int32_t /*index*/, bool Forwards,
                                 const RecordAction& action) {
  auto& service = platform::EventLogService();
  std::uint32_t count = 0;
  std::uint32_t oldest = 0;
  if (service.GetNumberOfRecords(handle, count) != err::kSuccess ||
      service.GetOldestRecord(handle, oldest) != err::kSuccess) {
    return false;
  }
  const std::uint32_t direction = Forwards ? evflags::kForwardsRead : evflags::kBackwardsRead;
  std::uint32_t flags = evflags::kSeekRead | direction;
  std::uint32_t offset = Forwards ? oldest : oldest + count - 1;
  std::vector<std::byte> buffer(kReadBufferStart);
  bool result = true;
  while (true) {
    ++FPlatformReads;
    platform::ReadResult read = service.ReadEventLog(handle, flags, offset, buffer);
    if (read.error == err::kInsufficientBuffer) {
      // One record larger than the buffer: grow to it and read the same place again.
      if (read.bytesNeeded <= buffer.size() || read.bytesNeeded > platform::kMaxReadBuffer) {
        result = false;
        break;
      }
      buffer.resize(read.bytesNeeded);
      ++FPlatformReads;
      read = service.ReadEventLog(handle, flags, offset, buffer);
    }
    FLastError = read.error;
    if (read.error == err::kHandleEof) break;
    if (read.error != err::kSuccess) {
      result = false;
      break;
    }
    flags = evflags::kSequentialRead | direction;
    offset = 0;
    const auto delivered = std::span<const std::byte>(buffer).first(
        std::min<std::size_t>(read.bytesRead, buffer.size()));
    if (delivered.empty()) {
      result = false;  // a success that delivers nothing would never end
      break;
    }
    std::size_t pos = 0;
    while (pos < delivered.size()) {
      const auto raw = RawEventRecord::At(delivered, pos);
      if (!raw) return false;  // damaged: what was delivered before stays delivered
      if (!action(*raw)) return true;
      pos += raw->Length();
    }
  }
  return result;
}

TFWEventLogRecordType EventTypeToRecordType(std::uint16_t EventType) {
  switch (EventType) {
    case platform::evtype::kSuccess:
      return TFWEventLogRecordType::rtSuccess;
    case platform::evtype::kError:
      return TFWEventLogRecordType::rtError;
    case platform::evtype::kWarning:
      return TFWEventLogRecordType::rtWarning;
    case platform::evtype::kInformation:
      return TFWEventLogRecordType::rtInformation;
    case platform::evtype::kAuditSuccess:
      return TFWEventLogRecordType::rtAuditSuccess;
    case platform::evtype::kAuditFailure:
      return TFWEventLogRecordType::rtAuditFailed;
    default:
      return TFWEventLogRecordType::rtUnknown;
  }
}

void TFWEventLog::RefreshTypeWords() const {
  const std::uint64_t generation = FLanguage.Generation();
  if (generation == FTypeWordsGeneration) return;
  // By TFWEventLogRecordType: success shows as information; critical and verbose are the two
  // levels only channel events have.
  static constexpr std::uint16_t kIds[kRecordTypeCount] = {100, 101, 102, 100, 103,
                                                           104, 105, 106, 107};
  for (std::size_t i = 0; i < kRecordTypeCount; ++i) {
    FTypeWords[i] = FLanguage.GetLocaleString(kIds[i]);
    FTypeWordsLower[i] = platform::Locale().ToLower(FTypeWords[i]);
  }
  FTypeWordsGeneration = generation;
}

std::u16string TFWEventLog::EventTypeToString(TFWEventLogRecordType EventType,
                                              bool AsLoverCase) const {
  RefreshTypeWords();
  auto i = static_cast<std::size_t>(EventType);
  if (i >= FTypeWords.size()) i = static_cast<std::size_t>(TFWEventLogRecordType::rtUnknown);
  return AsLoverCase ? FTypeWordsLower[i] : FTypeWords[i];
}

bool TFWEventLog::IsUserAdmin() const {
  static const platform::Bytes kAdministrators = {
      std::byte{1},    std::byte{2}, std::byte{0},  std::byte{0}, std::byte{0}, std::byte{0},
      std::byte{0},    std::byte{5}, std::byte{32}, std::byte{0}, std::byte{0}, std::byte{0},
      std::byte{0x20}, std::byte{2}, std::byte{0},  std::byte{0}};
  auto& accounts = platform::Accounts();
  std::vector<platform::TokenGroup> groups;
  std::uint32_t needed = 0;
  auto error = accounts.GetTokenGroups(1024, groups, needed);
  // A token with many groups needs a larger buffer: ask for the size it needs.
  if (error == err::kInsufficientBuffer && needed > 1024) {
    error = accounts.GetTokenGroups(needed, groups, needed);
  }
  if (error != err::kSuccess) return false;
  // A deny-only Administrators group (a token UAC has filtered) grants nothing.
  return std::any_of(groups.begin(), groups.end(), [](const platform::TokenGroup& group) {
    return group.sid == kAdministrators &&
           (group.attributes & platform::groupattr::kUseForDenyOnly) == 0;
  });
}

}  // namespace qb
