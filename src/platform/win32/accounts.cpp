#include "platform/win32/accounts.h"
#include "platform/win32/last_error.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <stdexcept>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;

// The thread's impersonation token when it has one, else the process token.
ErrorCode OpenCallerToken(UniqueHandle& token) {
  HANDLE raw = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)) {
    token.reset(raw);
    return ERROR_SUCCESS;
  }
  const ErrorCode error = LastError();
  if (error != ERROR_NO_TOKEN) return error;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return LastError();
  token.reset(raw);
  return ERROR_SUCCESS;
}

constexpr std::uint32_t kMaxTokenInformation = 16u << 20;
// Account and domain names have at most 256 characters; larger capacities change nothing.
constexpr std::uint32_t kMaxNameCapacity = 32768;

// Revision, sub-authority count and the six-byte identifier authority.
constexpr std::size_t kSidHeader = 8;
constexpr std::size_t kMaxSubAuthorities = 15;

// A SID of a foreign record is untrusted: its stated length must lie within the bytes given
// before Windows is allowed to read it.
bool ValidSid(platform::ByteSpan sid) {
  if (sid.size() < kSidHeader) return false;
  const auto count = static_cast<std::size_t>(sid[1]);
  if (count > kMaxSubAuthorities) return false;
  return sid.size() >= kSidHeader + 4 * count;
}

}  // namespace

ErrorCode Win32Accounts::GetTokenGroups(std::uint32_t bufferSize,
                                        std::vector<platform::TokenGroup>& groups,
                                        std::uint32_t& needed) {
  groups.clear();
  needed = 0;
  UniqueHandle token;
  ErrorCode error = OpenCallerToken(token);
  if (error != ERROR_SUCCESS) return error;
  try {
    // No token's groups come near the cap; the size passed on is always the size allocated.
    const DWORD size = std::min<std::uint32_t>(bufferSize, kMaxTokenInformation);
    // DWORD_PTR elements give the structure its pointer alignment.
    std::vector<DWORD_PTR> buffer(size / sizeof(DWORD_PTR) + 1);
    DWORD length = 0;
    if (!GetTokenInformation(token.get(), TokenGroups, size == 0 ? nullptr : buffer.data(), size,
                             &length)) {
      error = LastError();
      if (error == ERROR_INSUFFICIENT_BUFFER) needed = length;
      return error;
    }
    const auto* info = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    groups.reserve(info->GroupCount);
    for (DWORD i = 0; i < info->GroupCount; ++i) {
      PSID sid = info->Groups[i].Sid;
      if (sid == nullptr || !IsValidSid(sid)) continue;
      const auto* bytes = static_cast<const std::byte*>(sid);
      groups.push_back({platform::Bytes(bytes, bytes + GetLengthSid(sid)),
                        static_cast<std::uint32_t>(info->Groups[i].Attributes)});
    }
    return ERROR_SUCCESS;
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size()
    groups.clear();
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

ErrorCode Win32Accounts::LookupAccountSid(platform::ByteSpan sid, std::uint32_t nameCapacity,
                                          std::uint32_t domainCapacity, std::u16string& name,
                                          std::u16string& domain) {
  name.clear();
  domain.clear();
  // What LookupAccountSidW says of an invalid SID; a cut one never reaches it.
  if (!ValidSid(sid)) return ERROR_INVALID_SID;
  // An aligned copy of exactly the SID's own bytes.
  DWORD copy[(kSidHeader + 4 * kMaxSubAuthorities) / sizeof(DWORD)] = {};
  const std::size_t length = kSidHeader + 4 * static_cast<std::size_t>(sid[1]);
  std::memcpy(copy, sid.data(), length);
  if (!IsValidSid(copy)) return ERROR_INVALID_SID;
  try {
    nameCapacity = std::min(nameCapacity, kMaxNameCapacity);
    domainCapacity = std::min(domainCapacity, kMaxNameCapacity);
    // A capacity of zero still needs a buffer address.
    std::wstring nameBuffer(nameCapacity == 0 ? 1 : nameCapacity, L'\0');
    std::wstring domainBuffer(domainCapacity == 0 ? 1 : domainCapacity, L'\0');
    DWORD nameLength = nameCapacity;
    DWORD domainLength = domainCapacity;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(nullptr, copy, nameBuffer.data(), &nameLength, domainBuffer.data(),
                           &domainLength, &use)) {
      return LastError();
    }
    name = FromWide(nameBuffer.c_str(), std::wcslen(nameBuffer.c_str()));
    domain = FromWide(domainBuffer.c_str(), std::wcslen(domainBuffer.c_str()));
    return ERROR_SUCCESS;
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size()
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace qb::win32
