#include "platform/win32/system.h"
#include "platform/win32/last_error.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/own_module.h"
#include "platform/win32/system_procs.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;

// The longest path the wide API accepts, in characters.
constexpr DWORD kMaxWidePath = 32768;
// ReadFile and WriteFile take DWORD sizes: move large files in pieces.
constexpr DWORD kChunk = 1u << 30;

std::wstring LongPathForm(const std::wstring& path);

DWORD Attributes(std::u16string_view path) {
  // A file the host names by a long path is there as well: it must not be overwritten unasked.
  const std::wstring name = LongPathForm(Terminated(path));
  return GetFileAttributesW(name.c_str());
}

ErrorCode WriteAll(HANDLE file, platform::ByteSpan data) {
  while (!data.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), piece, &written, nullptr)) return LastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    data = data.subspan(written);
  }
  return ERROR_SUCCESS;
}

// A path the API takes beyond MAX_PATH: made absolute and given the "\\?\" prefix when it is
// long (room is left for a sibling's suffix); a short one stays as it is.
std::wstring LongPathForm(const std::wstring& path) {
  constexpr std::size_t kRoom = 32;
  if (path.size() + kRoom < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::wstring full(path.size() + MAX_PATH, L'\0');
  DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length + 1);
    length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

platform::FileTime FromFileTime(const FILETIME& time) {
  return platform::FileTime{time.dwLowDateTime, time.dwHighDateTime};
}

}  // namespace

std::u16string Win32System::ModuleFileName() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(OwnModule(), buffer.data(), size);
    if (length == 0) return {};
    // A result that fills the whole buffer may have been cut short.
    if (length < size) return FromWide(buffer.data(), length);
    if (size >= kMaxWidePath) return {};
    buffer.resize(std::min<DWORD>(size * 2, kMaxWidePath));
  }
}

platform::ErrorCode Win32System::PinOwnModule() {
  HMODULE pinned = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(OwnModule()), &pinned) == FALSE) {
    return ::GetLastError();
  }
  return platform::err::kSuccess;
}

bool Win32System::FileExists(std::u16string_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32System::DirectoryExists(std::u16string_view path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ErrorCode Win32System::CreateDirectory(std::u16string_view path) {
  const std::wstring name = Terminated(path);
  if (!CreateDirectoryW(name.c_str(), nullptr)) return LastError();
  return ERROR_SUCCESS;
}

ErrorCode Win32System::ReadFile(std::u16string_view path, platform::Bytes& data) {
  data.clear();
  const std::wstring name = Terminated(path);
  UniqueHandle file(CreateFileW(name.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return LastError();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return LastError();
  if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) >
                               std::numeric_limits<std::size_t>::max() / 2) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  try {
    data.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::exception&) {  // bad_alloc, or length_error past max_size()
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, kChunk));
    DWORD got = 0;
    if (!::ReadFile(file.get(), data.data() + done, piece, &got, nullptr)) {
      const ErrorCode error = LastError();
      data.clear();
      return error;
    }
    if (got == 0) break;  // the file shrank since its size was taken
    done += got;
  }
  data.resize(done);
  return ERROR_SUCCESS;
}

ErrorCode Win32System::WriteFile(std::u16string_view path, platform::ByteSpan data) {
  // Long names take the "\\?\" form, which the sibling's longer name may need even when the
  // target's fits.
  const std::wstring target = LongPathForm(Terminated(path));
  // CREATE_ALWAYS refuses a read-only file; so must the move below, which not every
  // implementation of the API does.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  // Write a sibling first and move it over the target, so a failed write (a full disk, say)
  // leaves the old file untouched. When no sibling can be made the write fails: writing in
  // place could lose the old file half-way. The sibling's name is short whatever the target's,
  // so a target whose name is as long as names may be can be written too.
  const std::size_t slash = target.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  const std::wstring temporary = folder + L"~qb" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(GetCurrentThreadId()) + L".tmp";
  ErrorCode error = ERROR_SUCCESS;
  {
    UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return LastError();
    error = WriteAll(file.get(), data);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = LastError();
  }
  if (error == ERROR_SUCCESS && !MoveFileExW(temporary.c_str(), target.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = LastError();
  }
  if (error != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
  return error;
}

ErrorCode Win32System::ReplaceFile(std::u16string_view from, std::u16string_view to) {
  const std::wstring source = Terminated(from);
  const std::wstring target = Terminated(to);
  // Windows refuses to replace a read-only file or a folder, Wine's MoveFileExW does not.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0 &&
      GetFileAttributesW(source.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return ERROR_ACCESS_DENIED;
  }
  if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return LastError();
  return ERROR_SUCCESS;
}

ErrorCode Win32System::DeleteFile(std::u16string_view path) {
  const std::wstring name = Terminated(path);
  if (!DeleteFileW(name.c_str())) return LastError();
  return ERROR_SUCCESS;
}

std::u16string Win32System::FullPathName(std::u16string_view path) {
  const std::wstring name = Terminated(path);
  std::wstring buffer(MAX_PATH, L'\0');
  // The current folder may change between two calls: ask again while the answer grows.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetFullPathNameW(name.c_str(), size, buffer.data(), nullptr);
    if (length == 0) return {};
    if (length < size) return FromWide(buffer.data(), length);
    // Too small: the answer is the size needed, terminator included.
    buffer.resize(length);
  }
  return {};
}

ErrorCode Win32System::FindFiles(std::u16string_view pattern,
                                 std::vector<platform::FindEntry>& entries) {
  entries.clear();
  const std::wstring query = Terminated(pattern);
  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(FindFirstFileW(query.c_str(), &found));
  if (find.get() == INVALID_HANDLE_VALUE) return LastError();
  for (;;) {
    const std::wstring_view name(found.cFileName);
    if (name != L"." && name != L"..") {
      platform::FindEntry entry;
      entry.name = FromWide(name);
      entry.attributes = found.dwFileAttributes;
      entry.size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
      entry.lastWrite = FromFileTime(found.ftLastWriteTime);
      entries.push_back(std::move(entry));
    }
    if (!FindNextFileW(find.get(), &found)) {
      const ErrorCode error = LastError();
      if (error == ERROR_NO_MORE_FILES) return ERROR_SUCCESS;
      entries.clear();
      return error;
    }
  }
}

std::uint32_t Win32System::ExpandEnvironmentStrings(std::u16string_view source,
                                                    std::span<char16_t> buffer) {
  const std::wstring text = Terminated(source);
  const DWORD capacity =
      static_cast<DWORD>(std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
  return ExpandEnvironmentStringsW(
      text.c_str(), capacity == 0 ? nullptr : reinterpret_cast<wchar_t*>(buffer.data()), capacity);
}

bool Win32System::GetVersionEx(std::uint32_t& major) {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  major = 0;
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
  major = info.dwMajorVersion;
  return true;
}

std::uint32_t Win32System::CurrentProcessId() {
  return GetCurrentProcessId();
}

platform::Handle Win32System::CurrentProcess() {
  return ToHandle(GetCurrentProcess());
}

ErrorCode Win32System::IsWow64Process(platform::Handle process, bool& wow64) {
  wow64 = false;
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 = SystemProc<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
  if (isWow64 == nullptr) return ERROR_PROC_NOT_FOUND;
  BOOL result = FALSE;
  if (!isWow64(FromHandle<HANDLE>(process), &result)) return LastError();
  wow64 = result != FALSE;
  return ERROR_SUCCESS;
}

ErrorCode Win32System::DisableWow64FsRedirection(std::uintptr_t& oldValue) {
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  const auto disable = SystemProc<DisableFn>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
  if (disable == nullptr) return ERROR_PROC_NOT_FOUND;
  PVOID saved = nullptr;
  if (!disable(&saved)) return LastError();
  oldValue = reinterpret_cast<std::uintptr_t>(saved);
  return ERROR_SUCCESS;
}

ErrorCode Win32System::RevertWow64FsRedirection(std::uintptr_t oldValue) {
  using RevertFn = BOOL(WINAPI*)(PVOID);
  const auto revert = SystemProc<RevertFn>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
  if (revert == nullptr) return ERROR_PROC_NOT_FOUND;
  if (!revert(reinterpret_cast<PVOID>(oldValue))) return LastError();
  return ERROR_SUCCESS;
}

void Win32System::SetLastError(ErrorCode code) {
  ::SetLastError(code);
}

ErrorCode Win32System::GetLastError() {
  return ::GetLastError();
}

}  // namespace qb::win32
