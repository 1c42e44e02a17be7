// A provider description using every kind of manifest element, shared by the manifest tests.
#pragma once

#include <vector>

#include "platform/sim/formats/wevt_writer.h"

namespace qb::test {

using sim::kWevtNoMessage;

inline sim::WevtGuid Guid(const char16_t* text) {
  return *sim::WevtGuid::Parse(text);
}

inline const sim::WevtGuid kSecurityGuid = Guid(u"{54849625-5478-4994-A5BA-3E3B0328C30D}");
inline const sim::WevtGuid kOtherGuid = Guid(u"{0063715B-EEDA-4007-9429-AD526F62696E}");

constexpr std::uint64_t kAuditFailure = 0x0010000000000000ull;
constexpr std::uint64_t kAuditSuccess = 0x0020000000000000ull;

inline std::vector<sim::WevtProviderDesc> SampleProviders() {
  sim::WevtProviderDesc security;
  security.guid = kSecurityGuid;
  security.messageId = 0x90000001;
  security.channels = {{16, 1, 0x90000002, u"Security"}, {17, 0, kWevtNoMessage, u"Debug"}};
  security.levels = {{0, 0x50000000, u"win:LogAlways"}, {4, 0x50000004, u"win:Informational"}};
  security.opcodes = {{0, 0, 0x30000000, u"win:Info"},
                      {12544, 1, 0x30010001, u"Begin"},
                      {0, 1, 0x30000001, u"win:Start"}};
  security.tasks = {{12544, 0x70003100, Guid(u"{11111111-2222-3333-4444-555555555555}"), u"Logon"},
                    {12809, 0x70003209, {}, u"FilteringPlatformPacketDrop"}};
  security.keywords = {{kAuditFailure, 0x10000035, u"win:AuditFailure"},
                       {kAuditSuccess, 0x10000036, u"win:AuditSuccess"},
                       {0x3, 0x10000001, u"TwoBits"}};
  security.maps = {{false, u"DirectionMap", {{0, 0xD0000001}, {1, 0xD0000002}}},
                   {true, u"FlagsMap", {{4, 0xD0000003}}},
                   {false, u"EmptyMap", {}}};
  security.templates = {
      {Guid(u"{AAAAAAAA-0000-0000-0000-000000000001}"),
       {{u"TargetUserName", 1, 1, 0, 0}, {u"Status", 20, 30, 0, 0}, {u"IpPort", 6, 22, 1, 2}}},
      {Guid(u"{AAAAAAAA-0000-0000-0000-000000000002}"), {}}};
  sim::WevtEvent logon{4625, 0, 16, 0, 1, 12544, kAuditFailure | (1ull << 63), 0xB0001211, 0};
  sim::WevtEvent logonV1 = logon;
  logonV1.version = 1;
  logonV1.messageId = 0xB1001211;
  sim::WevtEvent drop{5152, 0, 16, 4, 0, 12809, kAuditSuccess, kWevtNoMessage, 0};
  sim::WevtEvent bare{4611, 2, 0, 0, 0, 0, 0, 0xB0001203, 0};
  security.events = {{logon, 0}, {logonV1, 0}, {drop, 1}, {bare, std::nullopt}};
  security.attributes = {std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}};

  sim::WevtProviderDesc other;
  other.guid = kOtherGuid;
  other.events = {{sim::WevtEvent{7, 0, 0, 2, 0, 0, 0, 0x7, 0}, std::nullopt}};
  return {security, other};
}

}  // namespace qb::test
