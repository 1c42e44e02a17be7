// Accounts: the caller's token groups and the names behind SIDs.
#pragma once

#include "platform/types.h"

namespace qb::platform {

class IAccounts {
 public:
  virtual ~IAccounts() = default;

  // OpenThreadToken (falling back to OpenProcessToken on ERROR_NO_TOKEN) and
  // GetTokenInformation(TokenGroups) into a buffer of `bufferSize` bytes. On success `groups`
  // holds the group SIDs in token order. ERROR_INSUFFICIENT_BUFFER with `needed` set when the
  // TOKEN_GROUPS structure does not fit; other errors when no token can be opened.
  virtual ErrorCode GetTokenGroups(std::uint32_t bufferSize, std::vector<Bytes>& groups,
                                   std::uint32_t& needed) = 0;

  // LookupAccountSidW on the local computer with name and domain buffers of the given
  // capacities (characters, terminator included). ERROR_NONE_MAPPED for an unknown or deleted
  // account, ERROR_INSUFFICIENT_BUFFER when a name does not fit, ERROR_INVALID_SID for bytes
  // that do not begin with a whole valid SID. Bytes after the SID are ignored.
  virtual ErrorCode LookupAccountSid(ByteSpan sid, std::uint32_t nameCapacity,
                                     std::uint32_t domainCapacity, std::u16string& name,
                                     std::u16string& domain) = 0;
};

}  // namespace qb::platform
