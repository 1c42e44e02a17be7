// The simulated Windows Event Log (wevtapi): the machine's channels from the registry's WINEVT
// keys and the classic EventLog keys, their .evtx files in the simulated file system, and the
// publishers' texts from their manifests and message tables.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <variant>

#include "platform/channel_service.h"
#include "platform/sim/formats/evtx_event.h"

namespace qb::sim {

class SimAccounts;
class SimModules;
class SimRegistry;
class SimSystem;

class SimChannelService final : public platform::IChannelService {
 public:
  SimChannelService(SimSystem& files, SimRegistry& registry, SimModules& modules,
                    SimAccounts& accounts);
  ~SimChannelService() override;
  SimChannelService(const SimChannelService&) = delete;
  SimChannelService& operator=(const SimChannelService&) = delete;

  // --- for tests of the core: what it called, and faults ---
  std::size_t NextCallCount() const;
  std::size_t RenderCallCount() const;  // RenderValues and RenderXml
  std::size_t FormatCallCount() const;
  std::size_t QueryCallCount() const;
  std::size_t OpenHandleCount() const;  // handles of any kind not closed yet
  // Every Query / FormatMessage fails with `error` (0 removes the fault).
  void SetQueryFails(platform::ErrorCode error);
  void SetFormatFails(platform::ErrorCode error);

  // --- IChannelService ---
  platform::ErrorCode OpenChannelEnum(platform::Handle& channels) override;
  platform::ErrorCode NextChannelPath(platform::Handle channels, std::u16string& path) override;
  platform::ErrorCode OpenChannelConfig(std::u16string_view channel,
                                        platform::Handle& config) override;
  platform::ErrorCode GetChannelConfigProperty(platform::Handle config,
                                               platform::EvtChannelConfig id,
                                               platform::EvtValue& value) override;
  platform::ErrorCode SetChannelConfigProperty(platform::Handle config,
                                               platform::EvtChannelConfig id,
                                               const platform::EvtValue& value) override;
  platform::ErrorCode SaveChannelConfig(platform::Handle config) override;
  platform::ErrorCode Query(std::u16string_view path, std::u16string_view query,
                            std::uint32_t flags, platform::Handle& results) override;
  platform::ErrorCode Next(platform::Handle results, std::span<platform::Handle> events,
                           std::uint32_t& returned) override;
  platform::ErrorCode CreateRenderContext(std::uint32_t flags, platform::Handle& context) override;
  platform::ErrorCode RenderValues(platform::Handle context, platform::Handle event,
                                   std::vector<platform::EvtValue>& values) override;
  platform::ErrorCode RenderXml(platform::Handle event, std::u16string& xml) override;
  platform::ErrorCode OpenPublisherMetadata(std::u16string_view publisher,
                                            platform::Handle& metadata) override;
  platform::ErrorCode FormatMessage(platform::Handle metadata, platform::Handle event,
                                    std::uint32_t flags, std::u16string& text) override;
  platform::ErrorCode OpenLog(std::u16string_view path, std::uint32_t flags,
                              platform::Handle& log) override;
  platform::ErrorCode GetLogInfo(platform::Handle log, platform::EvtLogProperty id,
                                 platform::EvtValue& value) override;
  platform::ErrorCode ClearLog(std::u16string_view channel,
                               std::u16string_view backupPath) override;
  platform::ErrorCode ExportLog(std::u16string_view path, std::u16string_view query,
                                std::u16string_view targetPath, std::uint32_t flags) override;
  platform::ErrorCode Close(platform::Handle handle) override;

 private:
  struct Enumeration;
  struct Config;
  struct Results;
  struct Event;
  struct Context;
  struct Metadata;
  struct LogInfo;
  using Object =
      std::variant<std::shared_ptr<Enumeration>, std::shared_ptr<Config>, std::shared_ptr<Results>,
                   std::shared_ptr<Event>, std::shared_ptr<Context>, std::shared_ptr<Metadata>,
                   std::shared_ptr<LogInfo>>;

  // Whether wevtapi.dll is there at all (Windows Vista and later).
  bool Available();
  bool IsAdministrator();
  platform::Handle AddLocked(Object object);
  template <typename T>
  std::shared_ptr<T> FindLocked(platform::Handle handle);
  // The .evtx file of a channel or a file path; an empty path (no error) for a channel whose
  // file holds no events.
  platform::ErrorCode ResolveLocked(std::u16string_view path, std::uint32_t flags,
                                    std::u16string& file, std::u16string* channel);
  platform::ErrorCode OpenResultsLocked(std::u16string_view path, std::u16string_view query,
                                        std::uint32_t flags, std::shared_ptr<Results>& results);
  platform::ErrorCode NextEventLocked(Results& results, std::shared_ptr<Event>& event);
  platform::ErrorCode EventDataLocked(const Event& event, std::vector<EvtxDataItem>& data);
  platform::ErrorCode WriteEventsLocked(Results& results, std::u16string_view target);

  SimSystem& files_;
  SimRegistry& registry_;
  SimModules& modules_;
  SimAccounts& accounts_;

  mutable std::mutex mutex_;
  std::map<platform::Handle, Object> handles_;
  platform::Handle nextHandle_ = 0x7000;
  std::size_t nextCalls_ = 0, renderCalls_ = 0, formatCalls_ = 0, queryCalls_ = 0;
  platform::ErrorCode queryFails_ = 0, formatFails_ = 0;
};

}  // namespace qb::sim
