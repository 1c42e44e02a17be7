// The simulated classic event log service: logs of EVENTLOGRECORDs in memory or kept in .evtx
// files (read a chunk at a time), backups as .evt or .evtx files in the simulated file system,
// handles whose reads behave as ReadEventLogW does, and change notifications that really wake a
// waiting thread.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/eventlog_service.h"
#include "platform/sim/formats/event_record.h"
#include "platform/sim/services/evtx_record_store.h"

namespace qb::sim {

class SimSystem;
class SimRegistry;
class SimEventLogService;
struct ChangeSignal;

// One live log, made by SimEventLogService::AddLog. Tests may set its fields directly while no
// other thread uses the service; Append and Clear are safe at any time.
class SimEventLog {
 public:
  SimEventLog(SimEventLogService& service, std::u16string name);
  SimEventLog(const SimEventLog&) = delete;
  SimEventLog& operator=(const SimEventLog&) = delete;

  std::deque<platform::Bytes> records;  // oldest first, RecordNumber fields consecutive
  std::uint32_t oldestNumber = 1;       // of records.front(), or of the next record when empty
  std::uint32_t nextNumber = 1;
  std::uint32_t maxSize = 0;  // bytes its .evt file may take; 0 = unlimited
  // When a record would make the log exceed maxSize: true drops the oldest records, false
  // refuses the record and marks the log full.
  bool overwrite = true;
  bool full = false;  // a record was refused since the log was last cleared
  // A log kept in an .evtx file, as every log is since Vista: the file's records come first,
  // numbered by their EventRecordID, and `records` holds only those written since it was
  // loaded (maxSize does not apply). Backups of such a log are .evtx files, and clearing it
  // leaves an empty .evtx file at `evtxPath`. oldestNumber and nextNumber follow the file
  // once the log is first opened or written to.
  std::shared_ptr<EvtxRecordStore> evtx;
  bool evtxKept = false;
  std::u16string evtxPath;

  // The registry name, as first given.
  const std::u16string& name() const { return name_; }

  // Stores a record (exactly as given, whatever its layout) under the next record number,
  // written into its RecordNumber field, and signals the change events. The number, or 0
  // when the log is full and may not overwrite.
  std::uint32_t Append(platform::Bytes record);
  std::uint32_t Append(const RecordFields& contents);
  // Empties the log; numbering restarts at 1 and open handles see the change on their next read.
  void Clear();

 private:
  friend class SimEventLogService;
  SimEventLogService& service_;
  std::u16string name_;
  std::uint64_t generation_ = 0;  // bumped whenever the contents are replaced
  std::vector<std::weak_ptr<ChangeSignal>> watchers_;
  bool evtxSynced_ = false;  // oldestNumber and nextNumber follow the .evtx file
};

class SimEventLogService final : public platform::IEventLogService {
 public:
  SimEventLogService(SimSystem& files, SimRegistry& registry);
  ~SimEventLogService() override;
  SimEventLogService(const SimEventLogService&) = delete;
  SimEventLogService& operator=(const SimEventLogService&) = delete;

  // --- the machine as a test describes it ---
  // Logs by registry name, case-insensitive. AddLog returns the existing log when there is one.
  SimEventLog& AddLog(std::u16string_view name);
  SimEventLog* FindLog(std::u16string_view name);
  // Replaces a log's records and numbering (creating the log) with those of an .evt file;
  // its settings stay. A damaged file gives the records before the damage. False with the
  // reason when the file is no event log.
  bool LoadEvt(std::u16string_view logName, platform::ByteSpan evt, std::string* error = nullptr);
  // Makes the log (creating it) one kept in the .evtx file at `path` of the simulated files,
  // read from there as asked; its settings stay. False with the reason when the file cannot be
  // read or is no .evtx log.
  bool LoadEvtx(std::u16string_view logName, std::u16string_view path,
                std::string* error = nullptr);
  // The log as BackupEventLogW would save it to an .evt file; empty when there is no such log.
  platform::Bytes SaveEvt(std::u16string_view logName) const;
  // The clock of ReportEvent (seconds since 1970); the real clock until set.
  void SetNow(std::uint32_t unixSeconds);
  void SetComputerName(std::u16string name);

  // Fault injection. An error of 0 removes the fault.
  void SetOpenFails(std::u16string_view logName, platform::ErrorCode error);
  void SetWaitFails(bool fails);  // Wait on every change event fails with ERROR_INVALID_HANDLE
  void SetCreateEventFails(platform::ErrorCode error);  // NotifyChangeEventLog gives no event
  void SetFullInformationMissing(bool missing);         // GetFullInformation: no such function
  // Every ReadEventLog call takes this long first, as reads of a busy service do. Set it while
  // no other thread uses the service.
  void SetReadDelay(std::chrono::microseconds delay) { readDelay_ = delay; }
  // ClearEventLog on this log fails with `error`, saving and clearing nothing.
  void SetClearFails(std::u16string_view logName, platform::ErrorCode error);

  // Runs on the calling thread as ClearEventLog or BackupEventLog begins, with the API's name
  // and the backup's path: a test sees, or changes, what else holds at that moment. Set it
  // while no other thread uses the service.
  using CallHook = std::function<void(std::string_view api, std::u16string_view path)>;
  void SetCallHook(CallHook hook) { callHook_ = std::move(hook); }

  // What the core did, for tests and benchmarks.
  std::size_t ReadCallCount() const;
  std::size_t OpenCallCount() const;                      // OpenEventLog calls
  std::size_t OpenHandleCount() const;                    // log and backup handles not closed yet
  std::size_t SourceHandleCount() const;                  // event sources not deregistered yet
  std::vector<std::u16string> RegisteredSources() const;  // in the order they were registered

  // --- IEventLogService ---
  platform::ErrorCode OpenEventLog(std::u16string_view logName, platform::Handle& log) override;
  platform::ErrorCode OpenBackupEventLog(std::u16string_view path, platform::Handle& log) override;
  platform::ErrorCode CloseEventLog(platform::Handle log) override;
  platform::ErrorCode RegisterEventSource(std::u16string_view source,
                                          platform::Handle& handle) override;
  platform::ErrorCode DeregisterEventSource(platform::Handle handle) override;
  platform::ReadResult ReadEventLog(platform::Handle log, std::uint32_t flags,
                                    std::uint32_t recordOffset,
                                    std::span<std::byte> buffer) override;
  platform::ErrorCode GetNumberOfRecords(platform::Handle log, std::uint32_t& count) override;
  platform::ErrorCode GetOldestRecord(platform::Handle log, std::uint32_t& number) override;
  platform::ErrorCode ClearEventLog(platform::Handle log, std::u16string_view backupPath) override;
  platform::ErrorCode BackupEventLog(platform::Handle log, std::u16string_view path) override;
  platform::ErrorCode ReportEvent(platform::Handle source, std::uint16_t type,
                                  std::uint16_t category, std::uint32_t eventId,
                                  std::span<const std::u16string> strings,
                                  platform::ByteSpan data) override;
  std::unique_ptr<platform::IChangeEvent> NotifyChangeEventLog(platform::Handle log,
                                                               platform::ErrorCode& error) override;
  platform::ErrorCode GetFullInformation(platform::Handle log, bool& full) override;

 private:
  friend class SimEventLog;
  struct LogHandle {
    SimEventLog* live = nullptr;                  // null for a backup
    std::deque<platform::Bytes> snapshot;         // a backup's records
    std::shared_ptr<EvtxRecordStore> backupEvtx;  // a backup that is an .evtx file
    std::unique_ptr<EvtxRecordCursor> cursor;     // where its reads are in the .evtx file
    std::uint64_t generation = 0;
    // Record number the next sequential read starts from; none before the first read.
    std::optional<std::int64_t> position;
    const std::deque<platform::Bytes>& records() const { return live ? live->records : snapshot; }
    const std::shared_ptr<EvtxRecordStore>& evtx() const { return live ? live->evtx : backupEvtx; }
    bool evtxKept() const { return live ? live->evtxKept : backupEvtx != nullptr; }
  };
  // A record found in a log: its number and bytes (valid until the next search).
  struct FoundRecord {
    std::int64_t number = 0;
    platform::ByteSpan bytes;
  };

  SimEventLog& AddLogLocked(std::u16string_view name);
  SimEventLog* FindLogLocked(std::u16string_view name);
  LogHandle* FindHandleLocked(platform::Handle handle);
  std::uint32_t AppendLocked(SimEventLog& log, platform::Bytes record);
  void ClearLocked(SimEventLog& log);
  void SignalLocked(SimEventLog& log);
  platform::ErrorCode WriteBackupLocked(const LogHandle& handle, std::u16string_view path);
  platform::ErrorCode WriteEvtxBackupLocked(const LogHandle& handle, std::u16string_view path);
  void SyncEvtxLocked(SimEventLog& log);
  // What a handle sees: the .evtx file's records, then those in memory.
  std::uint64_t CountLocked(const LogHandle& handle);
  std::int64_t OldestLocked(const LogHandle& handle);  // 0 when there are none
  std::int64_t NewestLocked(const LogHandle& handle);
  // The record numbered `number`, else the nearest one beyond it in the reading direction.
  std::optional<FoundRecord> FindLocked(LogHandle& handle, std::int64_t number, bool forwards);
  std::uint32_t NowLocked() const;

  SimSystem& files_;
  SimRegistry& registry_;
  mutable std::mutex mutex_;
  std::map<std::u16string, std::unique_ptr<SimEventLog>> logs_;  // by folded name
  std::map<platform::Handle, LogHandle> logHandles_;
  std::map<platform::Handle, std::u16string> sourceHandles_;
  platform::Handle nextHandle_ = 0x100;
  std::optional<std::uint32_t> now_;
  std::u16string computerName_ = u"QBSIM";
  std::map<std::u16string, platform::ErrorCode> openFails_;   // by folded name
  std::map<std::u16string, platform::ErrorCode> clearFails_;  // by folded name
  CallHook callHook_;
  std::chrono::microseconds readDelay_{0};
  std::shared_ptr<std::atomic<bool>> waitFails_;  // shared with the events, which may outlive us
  platform::ErrorCode createEventFails_ = 0;
  bool fullInformationMissing_ = false;
  std::size_t readCalls_ = 0;
  std::size_t openCalls_ = 0;
};

}  // namespace qb::sim
