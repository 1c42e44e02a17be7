#include "platform/sim/services/accounts.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "platform/sim/formats/event_record.h"
#include "platform/sim/rules/text.h"

namespace qb::sim {
namespace {

using platform::Bytes;
using platform::ErrorCode;
namespace err = platform::err;

// Revision, sub-authority count and the six-byte big-endian identifier authority.
constexpr std::size_t kSidHeader = 8;
constexpr std::size_t kMaxSubAuthorities = 15;
// 64-bit TOKEN_GROUPS: GroupCount padded to pointer alignment, then SID_AND_ATTRIBUTES
// (pointer and DWORD, padded), then the SIDs themselves.
constexpr std::uint32_t kGroupsHeader = 8;
constexpr std::uint32_t kGroupEntry = 16;

std::optional<std::uint64_t> ParseNumber(std::u16string_view text, std::uint64_t max) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (char16_t c : text) {
    unsigned digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    if (digit >= base || value > (max - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

std::u16string Hex12(std::uint64_t value) {
  std::u16string out = u"0x";
  for (int shift = 44; shift >= 0; shift -= 4) {
    out.push_back(u"0123456789ABCDEF"[(value >> shift) & 0xF]);
  }
  return out;
}

}  // namespace

SimAccounts::SimAccounts() {
  for (const char16_t* sid : {u"S-1-1-0", u"S-1-5-32-544", u"S-1-5-32-545", u"S-1-5-11"}) {
    groups_.push_back({SidFromString(sid), kEnabledGroup});
  }
  const struct {
    const char16_t* sid;
    const char16_t* name;
    const char16_t* domain;
  } known[] = {
      // Well-known accounts have no domain, built-in groups and service accounts their own.
      {u"S-1-1-0", u"Everyone", u""},
      {u"S-1-5-11", u"Authenticated Users", u"NT AUTHORITY"},
      {u"S-1-5-18", u"SYSTEM", u"NT AUTHORITY"},
      {u"S-1-5-19", u"LOCAL SERVICE", u"NT AUTHORITY"},
      {u"S-1-5-20", u"NETWORK SERVICE", u"NT AUTHORITY"},
      {u"S-1-5-32-544", u"Administrators", u"BUILTIN"},
      {u"S-1-5-32-545", u"Users", u"BUILTIN"},
      {u"S-1-5-21-1004336348-1177238915-682003330-500", u"Administrator", u"QBSIM"},
  };
  for (const auto& account : known)
    accounts_[SidFromString(account.sid)] = {account.name, account.domain};
}

void SimAccounts::SetTokenGroups(std::vector<Bytes> groups) {
  std::lock_guard lock(mutex_);
  groups_.clear();
  for (auto& sid : groups) groups_.push_back({std::move(sid), kEnabledGroup});
}

void SimAccounts::AddTokenGroup(Bytes sid, std::uint32_t attributes) {
  std::lock_guard lock(mutex_);
  groups_.push_back({std::move(sid), attributes});
}

void SimAccounts::SetTokenError(ErrorCode error) {
  std::lock_guard lock(mutex_);
  tokenError_ = error;
}

std::uint32_t SimAccounts::TokenGroupsSizeLocked() const {
  std::uint64_t size = kGroupsHeader;
  for (const auto& group : groups_) size += kGroupEntry + (group.sid.size() + 3) / 4 * 4;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(size, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t SimAccounts::TokenGroupsSize() const {
  std::lock_guard lock(mutex_);
  return TokenGroupsSizeLocked();
}

void SimAccounts::AddAccount(platform::ByteSpan sid, std::u16string name, std::u16string domain) {
  // Keyed by the SID's own bytes, as lookups are.
  const std::size_t length = SidLength(sid).value_or(sid.size());
  std::lock_guard lock(mutex_);
  accounts_[Bytes(sid.begin(), sid.begin() + length)] = {std::move(name), std::move(domain)};
}

void SimAccounts::DeleteAccount(platform::ByteSpan sid) {
  const std::size_t length = SidLength(sid).value_or(sid.size());
  std::lock_guard lock(mutex_);
  accounts_.erase(Bytes(sid.begin(), sid.begin() + length));
}

std::size_t SimAccounts::LookupCount() const {
  std::lock_guard lock(mutex_);
  return lookups_;
}

void SimAccounts::HoldLookups() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void SimAccounts::ReleaseLookups() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  holdChanged_.notify_all();
}

bool SimAccounts::WaitForHeldLookups(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return holdChanged_.wait_for(lock, timeout, [&] { return waiting_ >= count; });
}

std::optional<std::size_t> SimAccounts::SidLength(platform::ByteSpan sid) {
  if (sid.size() < kSidHeader || sid[0] != std::byte{1}) return std::nullopt;
  const auto count = std::to_integer<std::size_t>(sid[1]);
  if (count > kMaxSubAuthorities || sid.size() < kSidHeader + 4 * count) return std::nullopt;
  return kSidHeader + 4 * count;
}

Bytes SimAccounts::SidFromString(std::u16string_view text) {
  if (text.size() < 2 || (text[0] != u'S' && text[0] != u's') || text[1] != u'-') return {};
  text.remove_prefix(2);
  std::vector<std::uint64_t> parts;
  while (true) {
    const auto dash = text.find(u'-');
    const auto part = text.substr(0, dash);
    const std::uint64_t max = parts.size() < 2 ? 0xFFFFFFFFFFFFull : 0xFFFFFFFFull;
    const auto value = ParseNumber(part, max);
    if (!value || parts.size() == 2 + kMaxSubAuthorities) return {};
    parts.push_back(*value);
    if (dash == std::u16string_view::npos) break;
    text.remove_prefix(dash + 1);
  }
  if (parts.size() < 2 || parts[0] != 1) return {};
  Bytes sid(kSidHeader + 4 * (parts.size() - 2));
  sid[0] = std::byte{1};
  sid[1] = static_cast<std::byte>(parts.size() - 2);
  for (int i = 0; i < 6; ++i) sid[2 + i] = static_cast<std::byte>(parts[1] >> (8 * (5 - i)));
  for (std::size_t i = 2; i < parts.size(); ++i) {
    WriteU32(sid, kSidHeader + 4 * (i - 2), static_cast<std::uint32_t>(parts[i]));
  }
  return sid;
}

std::u16string SimAccounts::SidToString(platform::ByteSpan sid) {
  const auto length = SidLength(sid);
  if (!length) return {};
  std::uint64_t authority = 0;
  for (int i = 0; i < 6; ++i)
    authority = (authority << 8) | std::to_integer<std::uint64_t>(sid[2 + i]);
  std::u16string text = u"S-1-";
  text += authority > 0xFFFFFFFFull ? Hex12(authority) : Decimal(authority);
  for (std::size_t offset = kSidHeader; offset < *length; offset += 4) {
    text += u'-';
    text += Decimal(*ReadU32(sid, offset));
  }
  return text;
}

ErrorCode SimAccounts::GetTokenGroups(std::uint32_t bufferSize,
                                      std::vector<platform::TokenGroup>& groups,
                                      std::uint32_t& needed) {
  groups.clear();
  needed = 0;
  std::lock_guard lock(mutex_);
  if (tokenError_ != err::kSuccess) return tokenError_;
  const std::uint32_t size = TokenGroupsSizeLocked();
  if (bufferSize < size) {
    needed = size;
    return err::kInsufficientBuffer;
  }
  groups = groups_;
  return err::kSuccess;
}

ErrorCode SimAccounts::LookupAccountSid(platform::ByteSpan sid, std::uint32_t nameCapacity,
                                        std::uint32_t domainCapacity, std::u16string& name,
                                        std::u16string& domain) {
  name.clear();
  domain.clear();
  {
    std::unique_lock lock(mutex_);
    ++lookups_;
    if (held_) {
      ++waiting_;
      holdChanged_.notify_all();
      holdChanged_.wait(lock, [&] { return !held_; });
      --waiting_;
    }
  }
  // The wait happens outside the lock, as other threads' lookups proceed on Windows too.
  if (const auto delay = delay_.load(); delay.count() > 0) std::this_thread::sleep_for(delay);
  std::lock_guard lock(mutex_);
  const auto length = SidLength(sid);
  if (!length) return kErrorInvalidSid;
  const auto it = accounts_.find(Bytes(sid.begin(), sid.begin() + *length));
  if (it == accounts_.end()) return err::kNoneMapped;
  const auto& [foundName, foundDomain] = it->second;
  if (foundName.size() >= nameCapacity || foundDomain.size() >= domainCapacity) {
    return err::kInsufficientBuffer;
  }
  name = foundName;
  domain = foundDomain;
  return err::kSuccess;
}

}  // namespace qb::sim
