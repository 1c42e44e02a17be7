// Accounts: the caller's token groups and the names behind SIDs.
#pragma once

#include "platform/types.h"

namespace qb::platform {

// SE_GROUP_* attributes of a group in a token.
namespace groupattr {
inline constexpr std::uint32_t kMandatory = 0x00000001;
inline constexpr std::uint32_t kEnabledByDefault = 0x00000002;
inline constexpr std::uint32_t kEnabled = 0x00000004;
// The group only denies access (UAC's filtered administrator): it grants nothing.
inline constexpr std::uint32_t kUseForDenyOnly = 0x00000010;
}  // namespace groupattr

// One SID_AND_ATTRIBUTES of TOKEN_GROUPS.
struct TokenGroup {
  Bytes sid;
  std::uint32_t attributes = 0;
  friend bool operator==(const TokenGroup&, const TokenGroup&) = default;
};

class IAccounts {
 public:
  virtual ~IAccounts() = default;

  // OpenThreadToken (falling back to OpenProcessToken on ERROR_NO_TOKEN) and
  // GetTokenInformation(TokenGroups) into a buffer of `bufferSize` bytes. On success `groups`
  // holds the groups (SIDs and attributes) in token order. ERROR_INSUFFICIENT_BUFFER with
  // `needed` set when the TOKEN_GROUPS structure does not fit; other errors when no token can be
  // opened.
  virtual ErrorCode GetTokenGroups(std::uint32_t bufferSize, std::vector<TokenGroup>& groups,
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
