#include "platform/sim/services/channel_service.h"

namespace qb::sim {

using platform::ErrorCode;
namespace err = platform::err;

SimChannelService::SimChannelService(SimSystem& files, SimRegistry& registry, SimModules& modules,
                                     SimAccounts& accounts)
    : files_(files), registry_(registry), modules_(modules), accounts_(accounts) {}

SimChannelService::~SimChannelService() = default;

ErrorCode SimChannelService::OpenChannelEnum(platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::NextChannelPath(platform::Handle, std::u16string&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::OpenChannelConfig(std::u16string_view, platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::GetChannelConfigProperty(platform::Handle, platform::EvtChannelConfig,
                                                      platform::EvtValue&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::SetChannelConfigProperty(platform::Handle, platform::EvtChannelConfig,
                                                      const platform::EvtValue&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::SaveChannelConfig(platform::Handle) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::Query(std::u16string_view, std::u16string_view, std::uint32_t,
                                   platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::Next(platform::Handle, std::span<platform::Handle>, std::uint32_t&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::CreateRenderContext(std::uint32_t, platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::RenderValues(platform::Handle, platform::Handle,
                                          std::vector<platform::EvtValue>&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::RenderXml(platform::Handle, std::u16string&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::OpenPublisherMetadata(std::u16string_view, platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::FormatMessage(platform::Handle, platform::Handle, std::uint32_t,
                                           std::u16string&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::OpenLog(std::u16string_view, std::uint32_t, platform::Handle&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::GetLogInfo(platform::Handle, platform::EvtLogProperty,
                                        platform::EvtValue&) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::ClearLog(std::u16string_view, std::u16string_view) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::ExportLog(std::u16string_view, std::u16string_view,
                                       std::u16string_view, std::uint32_t) {
  return err::kModNotFound;
}

ErrorCode SimChannelService::Close(platform::Handle) {
  return err::kModNotFound;
}

}  // namespace qb::sim
