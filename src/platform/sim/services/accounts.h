// Simulated accounts: the caller's token groups and the local computer's SID-to-name table.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/accounts.h"

namespace qb::sim {

// LookupAccountSidW's answer to bytes that are no SID.
inline constexpr platform::ErrorCode kErrorInvalidSid = platform::err::kInvalidSid;

class SimAccounts final : public platform::IAccounts {
 public:
  SimAccounts();

  // --- the machine as a test describes it ---
  // The token's groups, in token order. Default: Everyone, BUILTIN\Administrators,
  // BUILTIN\Users, Authenticated Users.
  // Groups given by SID alone are enabled; a UAC-filtered administrator's token holds
  // Administrators with kUseForDenyOnly instead.
  static constexpr std::uint32_t kEnabledGroup = platform::groupattr::kMandatory |
                                                 platform::groupattr::kEnabledByDefault |
                                                 platform::groupattr::kEnabled;
  void SetTokenGroups(std::vector<platform::Bytes> groups);
  void AddTokenGroup(platform::Bytes sid, std::uint32_t attributes = kEnabledGroup);
  // No token can be opened: GetTokenGroups fails with `error` (0 restores the token).
  void SetTokenError(platform::ErrorCode error);
  // The size GetTokenInformation(TokenGroups) asks for, as a 64-bit process lays it out.
  std::uint32_t TokenGroupsSize() const;

  void AddAccount(platform::ByteSpan sid, std::u16string name, std::u16string domain);
  void DeleteAccount(platform::ByteSpan sid);
  std::size_t LookupCount() const;  // LookupAccountSid calls so far
  // Every lookup takes this long, as one of an unreachable domain does.
  void SetLookupDelay(std::chrono::milliseconds delay) { delay_ = delay; }
  // A latch: while held, every lookup waits inside the call (already counted) until released,
  // so a test knows a thread is in the middle of one for as long as it needs.
  void HoldLookups();
  void ReleaseLookups();
  // Waits until `count` lookups are waiting in the hold; false when `timeout` passes first.
  bool WaitForHeldLookups(std::size_t count, std::chrono::milliseconds timeout);

  // "S-1-5-21-1-2-3-500" <-> SID bytes; empty results for malformed input.
  static platform::Bytes SidFromString(std::u16string_view text);
  static std::u16string SidToString(platform::ByteSpan sid);
  // The SID's own length when the bytes start with a valid SID, else nullopt.
  static std::optional<std::size_t> SidLength(platform::ByteSpan sid);

  // --- IAccounts ---
  platform::ErrorCode GetTokenGroups(std::uint32_t bufferSize,
                                     std::vector<platform::TokenGroup>& groups,
                                     std::uint32_t& needed) override;
  platform::ErrorCode LookupAccountSid(platform::ByteSpan sid, std::uint32_t nameCapacity,
                                       std::uint32_t domainCapacity, std::u16string& name,
                                       std::u16string& domain) override;

 private:
  std::uint32_t TokenGroupsSizeLocked() const;

  mutable std::mutex mutex_;
  std::vector<platform::TokenGroup> groups_;
  platform::ErrorCode tokenError_ = 0;
  std::map<platform::Bytes, std::pair<std::u16string, std::u16string>> accounts_;
  std::size_t lookups_ = 0;
  bool held_ = false;
  std::size_t waiting_ = 0;
  std::condition_variable holdChanged_;
  std::atomic<std::chrono::milliseconds> delay_{std::chrono::milliseconds(0)};
};

}  // namespace qb::sim
