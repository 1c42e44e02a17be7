// Files, environment and system information.
#pragma once

#include "platform/types.h"

namespace qb::platform {

inline constexpr std::uint32_t kFileAttributeReadonly = 0x01;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;

// One entry of a folder enumeration (FindFirstFileW / FindNextFileW).
struct FindEntry {
  std::u16string name;  // file name without folder
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  FileTime lastWrite;
};

class ISystem {
 public:
  virtual ~ISystem() = default;

  // GetModuleFileNameW of the module that holds the plugin code (not the host program).
  // The full path; callers apply their own buffer limits.
  virtual std::u16string ModuleFileName() = 0;

  // GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | ..._FROM_ADDRESS) on the plugin's own
  // module: it stays mapped until the process ends, whatever FreeLibrary calls follow.
  virtual ErrorCode PinOwnModule() = 0;

  // GetFileAttributesW-based checks: a file (not a folder) / a folder exists at `path`.
  virtual bool FileExists(std::u16string_view path) = 0;
  virtual bool DirectoryExists(std::u16string_view path) = 0;

  // CreateDirectoryW: one level. ERROR_ALREADY_EXISTS when something exists there,
  // ERROR_PATH_NOT_FOUND when the parent is missing, ERROR_ACCESS_DENIED when not writable.
  virtual ErrorCode CreateDirectory(std::u16string_view path) = 0;

  // Reads a whole file; `data` is empty on failure. ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND /
  // ERROR_ACCESS_DENIED (a folder, or no right to read).
  virtual ErrorCode ReadFile(std::u16string_view path, Bytes& data) = 0;

  // Creates or replaces a whole file (CREATE_ALWAYS). On failure the old contents stay.
  virtual ErrorCode WriteFile(std::u16string_view path, ByteSpan data) = 0;

  // MoveFileExW(MOVEFILE_REPLACE_EXISTING) within one folder: `to` is replaced by `from` in one
  // step, or left as it was. ERROR_FILE_NOT_FOUND when `from` is missing, ERROR_ACCESS_DENIED
  // when `to` is read-only or a folder.
  virtual ErrorCode ReplaceFile(std::u16string_view from, std::u16string_view to) = 0;

  // DeleteFileW. ERROR_FILE_NOT_FOUND when there is no such file.
  virtual ErrorCode DeleteFile(std::u16string_view path) = 0;

  // GetFullPathNameW: `path` made absolute against the current folder, "." and ".." resolved.
  virtual std::u16string FullPathName(std::u16string_view path) = 0;

  // FindFirstFileW / FindNextFileW over `pattern` (a folder, a backslash and a name that may
  // hold * and ?), in the order the file system returns the entries, "." and ".." excluded.
  // ERROR_FILE_NOT_FOUND (nothing matches) or ERROR_PATH_NOT_FOUND (no such folder) with an
  // empty result.
  virtual ErrorCode FindFiles(std::u16string_view pattern, std::vector<FindEntry>& entries) = 0;

  // ExpandEnvironmentStringsW into `buffer`: returns the number of characters the expansion
  // needs including its terminating zero. When that exceeds buffer.size() the buffer's
  // contents are not usable. Zero on failure. References to unknown variables stay as they are.
  virtual std::uint32_t ExpandEnvironmentStrings(std::u16string_view source,
                                                 std::span<char16_t> buffer) = 0;

  // GetVersionExW with an OSVERSIONINFOEXW: false when the call fails.
  virtual bool GetVersionEx(std::uint32_t& major) = 0;

  // Pseudo handle of the current process.
  virtual Handle CurrentProcess() = 0;
  // GetCurrentProcessId: tells this process's files from another's (a 32-bit and a 64-bit
  // host side by side).
  virtual std::uint32_t CurrentProcessId() = 0;

  // IsWow64Process looked up at run time in kernel32: ERROR_PROC_NOT_FOUND when the
  // function does not exist, the call's error when it fails.
  virtual ErrorCode IsWow64Process(Handle process, bool& wow64) = 0;

  // Wow64DisableWow64FsRedirection / Wow64RevertWow64FsRedirection, looked up at run time:
  // ERROR_PROC_NOT_FOUND when missing. Redirection is a per-thread setting.
  virtual ErrorCode DisableWow64FsRedirection(std::uintptr_t& oldValue) = 0;
  virtual ErrorCode RevertWow64FsRedirection(std::uintptr_t oldValue) = 0;

  // SetLastError / GetLastError of the calling thread: how the find exports report failures
  // to the host.
  virtual void SetLastError(ErrorCode code) = 0;
  virtual ErrorCode GetLastError() = 0;
};

}  // namespace qb::platform
