// IAccounts over the security functions of advapi32.
#pragma once

#include "platform/accounts.h"

namespace qb::win32 {

class Win32Accounts final : public platform::IAccounts {
 public:
  platform::ErrorCode GetTokenGroups(std::uint32_t bufferSize,
                                     std::vector<platform::TokenGroup>& groups,
                                     std::uint32_t& needed) override;
  platform::ErrorCode LookupAccountSid(platform::ByteSpan sid, std::uint32_t nameCapacity,
                                       std::uint32_t domainCapacity, std::u16string& name,
                                       std::u16string& domain) override;
};

}  // namespace qb::win32
