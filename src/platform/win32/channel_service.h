// The Windows Event Log (wevtapi.dll) behind the channel service. The library is loaded on the
// first call, never before: where it is missing (Windows XP and 2003) every call fails with
// ERROR_MOD_NOT_FOUND, and a function it lacks with ERROR_PROC_NOT_FOUND.
#pragma once

#include "platform/channel_service.h"
#include "platform/win32/wevtapi_library.h"

namespace qb::win32 {

class Win32ChannelService final : public platform::IChannelService {
 public:
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
  // The library's function `member` into `function`; the load's error, or ERROR_PROC_NOT_FOUND.
  template <class Function>
  platform::ErrorCode Proc(Function WevtapiProcs::*member, Function& function);

  WevtapiLibrary library_;
};

}  // namespace qb::win32
