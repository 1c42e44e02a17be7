// The plugin's exports as the host sees them: prototypes and values declared from the host's
// published interface, independently of the plugin's own declarations, and looked up with
// GetProcAddress in the loaded library.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest {

using ProgressProcW = int(WINAPI*)(int, wchar_t*, wchar_t*, int);
using LogProcW = void(WINAPI*)(int, int, wchar_t*);
using RequestProcW = BOOL(WINAPI*)(int, int, wchar_t*, wchar_t*, wchar_t*, int);

struct RemoteInfo {
  DWORD sizeLow;
  DWORD sizeHigh;
  FILETIME lastWriteTime;
  int attr;
};

using FsInitWFn = int(WINAPI*)(int, ProgressProcW, LogProcW, RequestProcW);
using FsFindFirstWFn = HANDLE(WINAPI*)(wchar_t*, WIN32_FIND_DATAW*);
using FsFindNextWFn = BOOL(WINAPI*)(HANDLE, WIN32_FIND_DATAW*);
using FsFindCloseFn = int(WINAPI*)(HANDLE);
using FsGetFileWFn = int(WINAPI*)(wchar_t*, wchar_t*, int, RemoteInfo*);
using FsExtractCustomIconWFn = int(WINAPI*)(wchar_t*, int, HICON*);
using FsContentGetSupportedFieldFn = int(WINAPI*)(int, char*, char*, int);
using FsContentGetValueWFn = int(WINAPI*)(wchar_t*, int, int, void*, int, int);

inline constexpr int kFileOk = 0;              // FS_FILE_OK
inline constexpr int kIconUseDefault = 0;      // FS_ICON_USEDEFAULT
inline constexpr int kIconExtracted = 1;       // FS_ICON_EXTRACTED
inline constexpr int kIconFlagSmall = 1;       // FS_ICONFLAG_SMALL
inline constexpr int kContentDelayIfSlow = 1;  // CONTENT_DELAYIFSLOW
inline constexpr int kFieldNoMore = 0;         // ft_nomorefields
inline constexpr int kFieldNumeric32 = 1;      // ft_numeric_32
inline constexpr int kFieldStringW = 11;       // ft_stringw
inline constexpr int kFieldDelayed = 0;        // ft_delayed
inline constexpr int kFieldEmpty = -3;         // ft_fieldempty

struct PluginExports {
  FsInitWFn initW = nullptr;
  FsFindFirstWFn findFirstW = nullptr;
  FsFindNextWFn findNextW = nullptr;
  FsFindCloseFn findClose = nullptr;
  FsGetFileWFn getFileW = nullptr;
  FsExtractCustomIconWFn extractCustomIconW = nullptr;
  FsContentGetSupportedFieldFn contentGetSupportedField = nullptr;
  FsContentGetValueWFn contentGetValueW = nullptr;

  // Looks every export up; the names of those the library lacks.
  std::vector<std::string> Resolve(HMODULE module);
};

}  // namespace qb::winetest
