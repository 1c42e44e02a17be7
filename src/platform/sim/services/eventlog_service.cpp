#include "platform/sim/services/eventlog_service.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/sim/formats/evt_file.h"
#include "platform/sim/formats/evtx_writer.h"
#include "platform/sim/rules/case_rules.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"

namespace qb::sim {

// The state of one auto-reset event.
struct ChangeSignal {
  std::mutex mutex;
  std::condition_variable cv;
  bool set = false;

  void Set() {
    {
      std::lock_guard lock(mutex);
      set = true;
    }
    cv.notify_all();
  }
};

namespace {

using platform::ErrorCode;
namespace err = platform::err;
namespace evflags = platform::evflags;

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr char16_t kEventLogKey[] = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

class ChangeEvent final : public platform::IChangeEvent {
 public:
  ChangeEvent(std::shared_ptr<ChangeSignal> signal, std::shared_ptr<std::atomic<bool>> fails)
      : signal_(std::move(signal)), fails_(std::move(fails)) {}

  WaitResult Wait(std::uint32_t milliseconds, ErrorCode& error) override {
    if (*fails_) {
      error = err::kInvalidHandle;
      return WaitResult::kFailed;
    }
    std::unique_lock lock(signal_->mutex);
    const auto isSet = [&] { return signal_->set; };
    if (milliseconds == kInfinite) {
      signal_->cv.wait(lock, isSet);
    } else if (!signal_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet)) {
      return WaitResult::kTimeout;
    }
    signal_->set = false;  // auto-reset: one wait consumes the signal
    return WaitResult::kSignalled;
  }

 private:
  std::shared_ptr<ChangeSignal> signal_;
  std::shared_ptr<std::atomic<bool>> fails_;
};

// Sum of what the log's .evt file takes: header, records and end-of-file record.
std::uint64_t FileBytes(const std::deque<platform::Bytes>& records) {
  std::uint64_t total = kEvtHeaderSize + kEvtEofRecordSize;
  for (const auto& record : records) total += record.size();
  return total;
}

platform::Bytes Save(const std::deque<platform::Bytes>& records, std::uint32_t nextNumber,
                     std::uint32_t maxSize, bool full) {
  EvtLog log;
  log.records.assign(records.begin(), records.end());
  log.oldestRecordNumber = records.empty() ? 0 : RecordNumber(records.front());
  log.currentRecordNumber = nextNumber;
  log.maxSize = maxSize;
  log.flags = full ? evtflag::kLogFullWritten : 0;
  return WriteEvtFile(log);
}

}  // namespace

// --- SimEventLog ---

SimEventLog::SimEventLog(SimEventLogService& service, std::u16string name)
    : service_(service), name_(std::move(name)) {}

std::uint32_t SimEventLog::Append(platform::Bytes record) {
  std::lock_guard lock(service_.mutex_);
  return service_.AppendLocked(*this, std::move(record));
}

std::uint32_t SimEventLog::Append(const RecordFields& contents) {
  return Append(BuildEventRecord(contents));
}

void SimEventLog::Clear() {
  std::lock_guard lock(service_.mutex_);
  service_.ClearLocked(*this);
}

// --- SimEventLogService: the machine as a test describes it ---

SimEventLogService::SimEventLogService(SimSystem& files, SimRegistry& registry)
    : files_(files), registry_(registry), waitFails_(std::make_shared<std::atomic<bool>>(false)) {}

SimEventLogService::~SimEventLogService() = default;

SimEventLog& SimEventLogService::AddLogLocked(std::u16string_view name) {
  auto& slot = logs_[NameUpper(name)];
  if (!slot) slot = std::make_unique<SimEventLog>(*this, std::u16string(name));
  return *slot;
}

SimEventLog* SimEventLogService::FindLogLocked(std::u16string_view name) {
  const auto it = logs_.find(NameUpper(name));
  return it == logs_.end() ? nullptr : it->second.get();
}

SimEventLog& SimEventLogService::AddLog(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  return AddLogLocked(name);
}

SimEventLog* SimEventLogService::FindLog(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  return FindLogLocked(name);
}

bool SimEventLogService::LoadEvt(std::u16string_view logName, platform::ByteSpan evt,
                                 std::string* error) {
  auto file = ReadEvtFile(evt, error);
  if (!file) return false;
  std::lock_guard lock(mutex_);
  SimEventLog& log = AddLogLocked(logName);
  log.records.assign(std::make_move_iterator(file->records.begin()),
                     std::make_move_iterator(file->records.end()));
  log.nextNumber = file->currentRecordNumber;
  log.oldestNumber = log.records.empty() ? log.nextNumber : RecordNumber(log.records.front());
  log.full = false;
  log.evtx.reset();
  log.evtxKept = false;
  log.evtxPath.clear();
  ++log.generation_;
  SignalLocked(log);
  return true;
}

bool SimEventLogService::LoadEvtx(std::u16string_view logName, std::u16string_view path,
                                  std::string* error) {
  ErrorCode readError = err::kSuccess;
  auto source = files_.OpenFileSource(path, readError);
  if (!source) {
    if (error) *error = "cannot be read (error " + std::to_string(readError) + ")";
    return false;
  }
  auto store = EvtxRecordStore::Open(std::move(source), error);
  if (!store) return false;
  std::lock_guard lock(mutex_);
  SimEventLog& log = AddLogLocked(logName);
  log.records.clear();
  log.evtx = std::move(store);
  log.evtxKept = true;
  log.evtxPath = std::u16string(path);
  log.evtxSynced_ = false;
  log.full = false;
  ++log.generation_;
  SignalLocked(log);
  return true;
}

platform::Bytes SimEventLogService::SaveEvt(std::u16string_view logName) const {
  std::lock_guard lock(mutex_);
  const auto it = logs_.find(NameUpper(logName));
  if (it == logs_.end()) return {};
  const SimEventLog& log = *it->second;
  return Save(log.records, log.nextNumber, log.maxSize, log.full);
}

void SimEventLogService::SetNow(std::uint32_t unixSeconds) {
  std::lock_guard lock(mutex_);
  now_ = unixSeconds;
}

void SimEventLogService::SetComputerName(std::u16string name) {
  std::lock_guard lock(mutex_);
  computerName_ = std::move(name);
}

void SimEventLogService::SetOpenFails(std::u16string_view logName, ErrorCode error) {
  std::lock_guard lock(mutex_);
  if (error == err::kSuccess) {
    openFails_.erase(NameUpper(logName));
  } else {
    openFails_[NameUpper(logName)] = error;
  }
}

void SimEventLogService::SetClearFails(std::u16string_view logName, ErrorCode error) {
  std::lock_guard lock(mutex_);
  if (error == err::kSuccess) {
    clearFails_.erase(NameUpper(logName));
  } else {
    clearFails_[NameUpper(logName)] = error;
  }
}

void SimEventLogService::SetWaitFails(bool fails) {
  *waitFails_ = fails;
}

void SimEventLogService::SetCreateEventFails(ErrorCode error) {
  std::lock_guard lock(mutex_);
  createEventFails_ = error;
}

void SimEventLogService::SetFullInformationMissing(bool missing) {
  std::lock_guard lock(mutex_);
  fullInformationMissing_ = missing;
}

std::size_t SimEventLogService::ReadCallCount() const {
  std::lock_guard lock(mutex_);
  return readCalls_;
}

std::size_t SimEventLogService::OpenCallCount() const {
  std::lock_guard lock(mutex_);
  return openCalls_;
}

std::size_t SimEventLogService::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return logHandles_.size();
}

std::size_t SimEventLogService::SourceHandleCount() const {
  std::lock_guard lock(mutex_);
  return sourceHandles_.size();
}

std::vector<std::u16string> SimEventLogService::RegisteredSources() const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> names;
  for (const auto& [handle, name] : sourceHandles_) names.push_back(name);  // handles ascend
  return names;
}

// --- internals, called with the mutex held ---

SimEventLogService::LogHandle* SimEventLogService::FindHandleLocked(platform::Handle handle) {
  const auto it = logHandles_.find(handle);
  return it == logHandles_.end() ? nullptr : &it->second;
}

std::uint32_t SimEventLogService::AppendLocked(SimEventLog& log, platform::Bytes record) {
  SyncEvtxLocked(log);
  if (log.maxSize != 0 && !log.evtx) {
    std::uint64_t total = FileBytes(log.records) + record.size();
    if (total > log.maxSize) {
      if (!log.overwrite) {
        log.full = true;
        return 0;
      }
      while (!log.records.empty() && total > log.maxSize) {
        total -= log.records.front().size();
        log.records.pop_front();
      }
    }
  }
  const std::uint32_t number = log.nextNumber++;
  WriteU32(record, recfield::kRecordNumber, number);
  log.records.push_back(std::move(record));
  log.oldestNumber = log.evtx && log.evtx->count() != 0
                         ? static_cast<std::uint32_t>(log.evtx->oldest())
                         : RecordNumber(log.records.front());
  SignalLocked(log);
  return number;
}

void SimEventLogService::SyncEvtxLocked(SimEventLog& log) {
  if (!log.evtx || log.evtxSynced_) return;
  log.evtxSynced_ = true;
  // Indexes the file: done when the log is first used, not when a machine is loaded.
  log.nextNumber = static_cast<std::uint32_t>(log.evtx->nextNumber());
  log.oldestNumber =
      log.evtx->count() != 0 ? static_cast<std::uint32_t>(log.evtx->oldest()) : log.nextNumber;
}

void SimEventLogService::ClearLocked(SimEventLog& log) {
  if (log.evtxKept) {
    log.evtx.reset();
    // The service starts the file afresh: a header and one empty chunk. The log itself is
    // empty whether or not the file can be written.
    if (!log.evtxPath.empty()) {
      EvtxWriterOptions options;
      options.slots = 1;
      files_.WriteFile(log.evtxPath, WriteEvtxFile({}, options));
    }
  }
  log.records.clear();
  log.oldestNumber = 1;
  log.nextNumber = 1;
  log.full = false;
  ++log.generation_;
  SignalLocked(log);
}

void SimEventLogService::SignalLocked(SimEventLog& log) {
  std::erase_if(log.watchers_, [](const std::weak_ptr<ChangeSignal>& watcher) {
    const auto signal = watcher.lock();
    if (signal) signal->Set();
    return signal == nullptr;
  });
}

ErrorCode SimEventLogService::WriteBackupLocked(const LogHandle& handle, std::u16string_view path) {
  if (path.empty()) return err::kInvalidParameter;
  if (files_.FileExists(path)) return err::kAlreadyExists;
  if (handle.evtxKept()) return WriteEvtxBackupLocked(handle, path);
  const auto& records = handle.records();
  const platform::Bytes file =
      handle.live ? Save(records, handle.live->nextNumber, handle.live->maxSize, handle.live->full)
                  : Save(records, records.empty() ? 1 : RecordNumber(records.back()) + 1, 0, false);
  return files_.WriteFile(path, file);
}

ErrorCode SimEventLogService::WriteEvtxBackupLocked(const LogHandle& handle,
                                                    std::u16string_view path) {
  const auto& store = handle.evtx();
  const auto& tail = handle.records();
  const bool empty = tail.empty() && (!store || store->count() == 0);
  EvtxWriterOptions options;
  if (empty) options.slots = 1;  // an empty log's file still has its first chunk
  MemoryByteSink sink;
  EvtxWriter writer(sink, options);
  if (store) EvtxRecordCursor(store).CopyTo(writer);
  WindowsEventMaker maker;
  const std::u16string channel = handle.live ? handle.live->name() : u"";
  for (const auto& record : tail) {
    if (const auto fields = ParseEventRecord(record)) {
      writer.Write(maker.Make(ClassicEventFields(*fields, channel)));
    }
  }
  if (!writer.Finish()) return err::kWriteFault;
  return files_.WriteFile(path, sink.bytes());
}

std::uint64_t SimEventLogService::CountLocked(const LogHandle& handle) {
  const auto& store = handle.evtx();
  return (store ? store->count() : 0) + handle.records().size();
}

std::int64_t SimEventLogService::OldestLocked(const LogHandle& handle) {
  const auto& store = handle.evtx();
  if (store && store->count() != 0) return static_cast<std::int64_t>(store->oldest());
  const auto& records = handle.records();
  return records.empty() ? 0 : RecordNumber(records.front());
}

std::int64_t SimEventLogService::NewestLocked(const LogHandle& handle) {
  const auto& records = handle.records();
  if (!records.empty()) return RecordNumber(records.back());
  const auto& store = handle.evtx();
  return store && store->count() != 0 ? static_cast<std::int64_t>(store->newest()) : 0;
}

std::optional<SimEventLogService::FoundRecord> SimEventLogService::FindLocked(LogHandle& handle,
                                                                              std::int64_t number,
                                                                              bool forwards) {
  const auto& store = handle.evtx();
  const auto inFile = [&]() -> std::optional<FoundRecord> {
    if (!store || store->count() == 0 || number < 1) return std::nullopt;
    if (!handle.cursor || handle.cursor->store() != store) {
      handle.cursor = std::make_unique<EvtxRecordCursor>(store);
    }
    const auto found = handle.cursor->Find(static_cast<std::uint64_t>(number), forwards);
    if (!found) return std::nullopt;
    return FoundRecord{static_cast<std::int64_t>(found->number), found->record};
  };
  // Numbers ascend, so a record in memory is found by bisection.
  const auto inMemory = [&]() -> std::optional<FoundRecord> {
    const auto& records = handle.records();
    const auto below = [](std::int64_t limit) {
      return [limit](const platform::Bytes& r) { return RecordNumber(r) < limit; };
    };
    auto at =
        std::partition_point(records.begin(), records.end(), below(forwards ? number : number + 1));
    if (!forwards) {
      if (at == records.begin()) return std::nullopt;
      --at;
    }
    if (at == records.end()) return std::nullopt;
    return FoundRecord{RecordNumber(*at), *at};
  };
  // The file's records all come before those in memory.
  if (forwards) {
    if (auto found = inFile()) return found;
    return inMemory();
  }
  if (auto found = inMemory()) return found;
  return inFile();
}

std::uint32_t SimEventLogService::NowLocked() const {
  if (now_) return *now_;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(seconds.count());
}

// --- IEventLogService ---

ErrorCode SimEventLogService::OpenEventLog(std::u16string_view logName, platform::Handle& log) {
  log = 0;
  std::lock_guard lock(mutex_);
  ++openCalls_;
  if (const auto fault = openFails_.find(NameUpper(logName)); fault != openFails_.end()) {
    return fault->second;
  }
  SimEventLog* target = FindLogLocked(logName);
  if (target == nullptr) target = FindLogLocked(u"Application");
  if (target == nullptr) return err::kFileNotFound;
  SyncEvtxLocked(*target);
  LogHandle handle;
  handle.live = target;
  handle.generation = target->generation_;
  log = nextHandle_++;
  logHandles_.emplace(log, std::move(handle));
  return err::kSuccess;
}

ErrorCode SimEventLogService::OpenBackupEventLog(std::u16string_view path, platform::Handle& log) {
  log = 0;
  // advapi32 cannot make an NT path of an empty name.
  if (path.empty()) return err::kInvalidParameter;
  LogHandle handle;
  // Since Vista a backup may be an .evtx file, known by its signature; it is read as asked.
  ErrorCode sourceError = err::kSuccess;
  auto source = files_.OpenFileSource(path, sourceError);
  std::array<std::byte, 8> signature{};
  if (source && source->ReadAt(0, signature) &&
      std::memcmp(signature.data(), "ElfFile", signature.size()) == 0) {
    handle.backupEvtx = EvtxRecordStore::Open(std::move(source));
    if (!handle.backupEvtx) return err::kEventlogFileCorrupt;
  } else {
    platform::Bytes data;
    if (const ErrorCode error = files_.ReadFile(path, data); error != err::kSuccess) return error;
    auto file = ReadEvtFile(data);
    if (!file) return err::kEventlogFileCorrupt;
    handle.snapshot.assign(std::make_move_iterator(file->records.begin()),
                           std::make_move_iterator(file->records.end()));
  }
  std::lock_guard lock(mutex_);
  log = nextHandle_++;
  logHandles_.emplace(log, std::move(handle));
  return err::kSuccess;
}

ErrorCode SimEventLogService::CloseEventLog(platform::Handle log) {
  std::lock_guard lock(mutex_);
  return logHandles_.erase(log) != 0 ? err::kSuccess : err::kInvalidHandle;
}

ErrorCode SimEventLogService::RegisterEventSource(std::u16string_view source,
                                                  platform::Handle& handle) {
  std::lock_guard lock(mutex_);
  handle = nextHandle_++;
  sourceHandles_.emplace(handle, std::u16string(source));
  return err::kSuccess;
}

ErrorCode SimEventLogService::DeregisterEventSource(platform::Handle handle) {
  std::lock_guard lock(mutex_);
  return sourceHandles_.erase(handle) != 0 ? err::kSuccess : err::kInvalidHandle;
}

platform::ReadResult SimEventLogService::ReadEventLog(platform::Handle log, std::uint32_t flags,
                                                      std::uint32_t recordOffset,
                                                      std::span<std::byte> buffer) {
  if (readDelay_.count() > 0) std::this_thread::sleep_for(readDelay_);
  std::lock_guard lock(mutex_);
  ++readCalls_;
  LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr) return {err::kInvalidHandle};

  const bool sequential = (flags & evflags::kSequentialRead) != 0;
  const bool seek = (flags & evflags::kSeekRead) != 0;
  const bool forwards = (flags & evflags::kForwardsRead) != 0;
  const bool backwards = (flags & evflags::kBackwardsRead) != 0;
  constexpr std::uint32_t kKnown = evflags::kSequentialRead | evflags::kSeekRead |
                                   evflags::kForwardsRead | evflags::kBackwardsRead;
  if (sequential == seek || forwards == backwards || (flags & ~kKnown) != 0 ||
      buffer.size() > platform::kMaxReadBuffer) {
    return {err::kInvalidParameter};
  }
  if (handle->live && handle->generation != handle->live->generation_) {
    // The log was cleared or replaced under the handle: say so once and start afresh.
    handle->generation = handle->live->generation_;
    handle->position.reset();
    handle->cursor.reset();  // its chunk belongs to the file the log no longer reads
    return {err::kEventlogFileChanged};
  }

  if (CountLocked(*handle) == 0) return {seek ? err::kInvalidParameter : err::kHandleEof};
  const std::int64_t oldest = OldestLocked(*handle);
  const std::int64_t newest = NewestLocked(*handle);
  std::int64_t start = 0;
  if (seek) {
    if (recordOffset < oldest || recordOffset > newest) return {err::kInvalidParameter};
    start = recordOffset;
  } else {
    start = handle->position.value_or(forwards ? oldest : newest);
  }
  if (forwards ? start > newest : start < oldest) return {err::kHandleEof};

  platform::ReadResult result;
  std::int64_t last = start;
  std::size_t delivered = 0;
  for (std::int64_t next = start;; next = forwards ? last + 1 : last - 1, ++delivered) {
    const auto found = FindLocked(*handle, next, forwards);
    if (!found) break;
    const platform::ByteSpan record = found->bytes;
    if (record.size() > buffer.size() - result.bytesRead) {
      if (delivered == 0) {
        result.error = err::kInsufficientBuffer;
        result.bytesNeeded = static_cast<std::uint32_t>(record.size());
        return result;
      }
      break;
    }
    if (!record.empty())
      std::memcpy(buffer.data() + result.bytesRead, record.data(), record.size());
    result.bytesRead += static_cast<std::uint32_t>(record.size());
    last = found->number;
  }
  if (delivered == 0) return {err::kHandleEof};
  handle->position = forwards ? last + 1 : last - 1;
  return result;
}

ErrorCode SimEventLogService::GetNumberOfRecords(platform::Handle log, std::uint32_t& count) {
  count = 0;
  std::lock_guard lock(mutex_);
  const LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr) return err::kInvalidHandle;
  count = static_cast<std::uint32_t>(CountLocked(*handle));
  return err::kSuccess;
}

ErrorCode SimEventLogService::GetOldestRecord(platform::Handle log, std::uint32_t& number) {
  number = 0;
  std::lock_guard lock(mutex_);
  const LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr) return err::kInvalidHandle;
  number = static_cast<std::uint32_t>(OldestLocked(*handle));
  return err::kSuccess;
}

ErrorCode SimEventLogService::ClearEventLog(platform::Handle log, std::u16string_view backupPath) {
  if (callHook_) callHook_("ClearEventLogW", backupPath);
  std::lock_guard lock(mutex_);
  const LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr || handle->live == nullptr) return err::kInvalidHandle;
  if (const auto fault = clearFails_.find(NameUpper(handle->live->name()));
      fault != clearFails_.end()) {
    return fault->second;
  }
  // The backup and the clear happen under one lock, so no record slips in between.
  if (!backupPath.empty()) {
    if (const ErrorCode error = WriteBackupLocked(*handle, backupPath); error != err::kSuccess) {
      return error;
    }
  }
  ClearLocked(*handle->live);
  return err::kSuccess;
}

ErrorCode SimEventLogService::BackupEventLog(platform::Handle log, std::u16string_view path) {
  if (callHook_) callHook_("BackupEventLogW", path);
  std::lock_guard lock(mutex_);
  const LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr) return err::kInvalidHandle;
  return WriteBackupLocked(*handle, path);
}

ErrorCode SimEventLogService::ReportEvent(platform::Handle source, std::uint16_t type,
                                          std::uint16_t category, std::uint32_t eventId,
                                          std::span<const std::u16string> strings,
                                          platform::ByteSpan data) {
  if (strings.size() > std::numeric_limits<std::uint16_t>::max()) return err::kInvalidParameter;
  std::lock_guard lock(mutex_);
  const auto registered = sourceHandles_.find(source);
  if (registered == sourceHandles_.end()) return err::kInvalidHandle;
  const std::u16string& sourceName = registered->second;

  // The log whose registry key lists the source, else Application.
  SimEventLog* target = nullptr;
  for (const auto& [key, log] : logs_) {
    if (registry_.KeyExists(kEventLogKey + log->name() + u"\\" + sourceName)) {
      target = log.get();
      break;
    }
  }
  if (target == nullptr) target = FindLogLocked(u"Application");
  if (target == nullptr) return err::kFileNotFound;

  RecordFields contents;
  contents.timeGenerated = contents.timeWritten = NowLocked();
  contents.eventId = eventId;
  contents.eventType = type;
  contents.category = category;
  contents.source = sourceName;
  contents.computer = computerName_;
  contents.strings.assign(strings.begin(), strings.end());
  contents.data.assign(data.begin(), data.end());
  return AppendLocked(*target, BuildEventRecord(contents)) != 0 ? err::kSuccess : err::kLogFileFull;
}

std::unique_ptr<platform::IChangeEvent> SimEventLogService::NotifyChangeEventLog(
    platform::Handle log, ErrorCode& error) {
  std::lock_guard lock(mutex_);
  if (createEventFails_ != err::kSuccess) {
    error = createEventFails_;
    return nullptr;
  }
  auto signal = std::make_shared<ChangeSignal>();
  // Like the real call, a handle that cannot be watched (a backup, a closed handle) still
  // gives an event; it is just never signalled.
  if (const LogHandle* handle = FindHandleLocked(log); handle != nullptr && handle->live) {
    handle->live->watchers_.push_back(signal);
  }
  error = err::kSuccess;
  return std::make_unique<ChangeEvent>(std::move(signal), waitFails_);
}

ErrorCode SimEventLogService::GetFullInformation(platform::Handle log, bool& full) {
  full = false;
  std::lock_guard lock(mutex_);
  if (fullInformationMissing_) return err::kProcNotFound;
  const LogHandle* handle = FindHandleLocked(log);
  if (handle == nullptr) return err::kInvalidHandle;
  full = handle->live != nullptr && handle->live->full;
  return err::kSuccess;
}

}  // namespace qb::sim
