// Basic types shared by the platform boundary and the portable core.
// Nothing here depends on the operating system's headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb::platform {

// Opaque handle of anything the platform hands out (keys, logs, modules, windows, icons).
// Zero means "none".
using Handle = std::uintptr_t;

// A Windows error code (the value GetLastError would give). Zero is success.
using ErrorCode = std::uint32_t;

namespace err {
inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kFileNotFound = 2;
inline constexpr ErrorCode kPathNotFound = 3;
inline constexpr ErrorCode kAccessDenied = 5;
inline constexpr ErrorCode kInvalidHandle = 6;
inline constexpr ErrorCode kNotEnoughMemory = 8;
inline constexpr ErrorCode kBadFormat = 11;
inline constexpr ErrorCode kInvalidData = 13;
inline constexpr ErrorCode kNoMoreFiles = 18;
inline constexpr ErrorCode kWriteFault = 29;
inline constexpr ErrorCode kReadFault = 30;
inline constexpr ErrorCode kHandleEof = 38;
inline constexpr ErrorCode kNotSupported = 50;
inline constexpr ErrorCode kFileExists = 80;
inline constexpr ErrorCode kInvalidParameter = 87;
inline constexpr ErrorCode kDiskFull = 112;
inline constexpr ErrorCode kInsufficientBuffer = 122;
inline constexpr ErrorCode kInvalidName = 123;
inline constexpr ErrorCode kModNotFound = 126;
inline constexpr ErrorCode kProcNotFound = 127;
inline constexpr ErrorCode kDirNotEmpty = 145;
inline constexpr ErrorCode kBadPathname = 161;
inline constexpr ErrorCode kAlreadyExists = 183;
inline constexpr ErrorCode kBadExeFormat = 193;
inline constexpr ErrorCode kMoreData = 234;
inline constexpr ErrorCode kNoMoreItems = 259;
inline constexpr ErrorCode kMrMidNotFound = 317;
inline constexpr ErrorCode kInvalidFlags = 1004;
inline constexpr ErrorCode kBadregistry = 1009;
inline constexpr ErrorCode kKeyDeleted = 1018;
inline constexpr ErrorCode kNoToken = 1008;
inline constexpr ErrorCode kInvalidWindowHandle = 1400;
inline constexpr ErrorCode kResourceDataNotFound = 1812;
inline constexpr ErrorCode kResourceTypeNotFound = 1813;
inline constexpr ErrorCode kResourceNameNotFound = 1814;
inline constexpr ErrorCode kResourceLangNotFound = 1815;
inline constexpr ErrorCode kNoneMapped = 1332;
inline constexpr ErrorCode kInvalidSid = 1337;
inline constexpr ErrorCode kEventlogFileCorrupt = 1500;
inline constexpr ErrorCode kEventlogCantStart = 1501;
inline constexpr ErrorCode kLogFileFull = 1502;
inline constexpr ErrorCode kEventlogFileChanged = 1503;
inline constexpr ErrorCode kTimeout = 1460;
}  // namespace err

// Registry access rights (the documented values).
namespace access {
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kStandardRightsRead = 0x00020000;
inline constexpr std::uint32_t kKeyRead = 0x00020019;
inline constexpr std::uint32_t kKeyWrite = 0x00020006;
inline constexpr std::uint32_t kKeyAllAccess = 0x000F003F;
}  // namespace access

// Registry value types.
namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kQword = 11;
}  // namespace regtype

// 100-nanosecond intervals since 1601-01-01, as FILETIME holds them.
struct FileTime {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;

  constexpr std::uint64_t value() const {
    return (std::uint64_t{dwHighDateTime} << 32) | dwLowDateTime;
  }
  static constexpr FileTime from(std::uint64_t v) {
    return FileTime{static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
  }
  friend constexpr bool operator==(const FileTime&, const FileTime&) = default;
};

// Calendar fields, as SYSTEMTIME holds them.
struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
  friend constexpr bool operator==(const SystemTime&, const SystemTime&) = default;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

using Bytes = std::vector<std::byte>;
using ByteSpan = std::span<const std::byte>;

}  // namespace qb::platform
