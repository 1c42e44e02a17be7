// Not yet over wevtapi: every call answers as Windows XP does, which has no such library.
#include "platform/win32/channel_service.h"

#include "platform/win32/windows_api.h"

namespace qb::win32 {

using platform::ErrorCode;

ErrorCode Win32ChannelService::OpenChannelEnum(platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::NextChannelPath(platform::Handle, std::u16string&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::OpenChannelConfig(std::u16string_view, platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::GetChannelConfigProperty(platform::Handle,
                                                        platform::EvtChannelConfig,
                                                        platform::EvtValue&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::SetChannelConfigProperty(platform::Handle,
                                                        platform::EvtChannelConfig,
                                                        const platform::EvtValue&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::SaveChannelConfig(platform::Handle) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::Query(std::u16string_view, std::u16string_view, std::uint32_t,
                                     platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::Next(platform::Handle, std::span<platform::Handle>, std::uint32_t&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::CreateRenderContext(std::uint32_t, platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::RenderValues(platform::Handle, platform::Handle,
                                            std::vector<platform::EvtValue>&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::RenderXml(platform::Handle, std::u16string&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::OpenPublisherMetadata(std::u16string_view, platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::FormatMessage(platform::Handle, platform::Handle, std::uint32_t,
                                             std::u16string&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::OpenLog(std::u16string_view, std::uint32_t, platform::Handle&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::GetLogInfo(platform::Handle, platform::EvtLogProperty,
                                          platform::EvtValue&) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::ClearLog(std::u16string_view, std::u16string_view) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::ExportLog(std::u16string_view, std::u16string_view,
                                         std::u16string_view, std::uint32_t) {
  return ERROR_MOD_NOT_FOUND;
}

ErrorCode Win32ChannelService::Close(platform::Handle) {
  return ERROR_MOD_NOT_FOUND;
}

}  // namespace qb::win32
