// The host's side of the plugin interface as the Windows test programs use it: the plugin's
// exports from the table every host-side program shares, and what the tests hand them in
// windows.h's types. The values and the RemoteInfoStruct record below are declared here from
// the host's published interface, not taken from the plugin's fsplugin.h, and the tests read
// the records the plugin fills through windows.h's declarations: a wrong value or layout in
// the plugin's declarations shows here (their layout is also checked against windows.h at
// compile time, in tools/host/windows_exports.cpp).
#pragma once

#include <string>

#include "host/plugin_exports.h"
#include "platform/win32/windows_api.h"

namespace qb::winetest {

using host::PluginExports;

inline constexpr int kFileOk = 0;              // FS_FILE_OK
inline constexpr int kExecOk = 0;              // FS_EXEC_OK
inline constexpr int kIconUseDefault = 0;      // FS_ICON_USEDEFAULT
inline constexpr int kIconExtracted = 1;       // FS_ICON_EXTRACTED
inline constexpr int kIconFlagSmall = 1;       // FS_ICONFLAG_SMALL
inline constexpr int kContentDelayIfSlow = 1;  // CONTENT_DELAYIFSLOW
inline constexpr int kFieldNoMore = 0;         // ft_nomorefields
inline constexpr int kFieldNumeric32 = 1;      // ft_numeric_32
inline constexpr int kFieldStringW = 11;       // ft_stringw
inline constexpr int kFieldDelayed = 0;        // ft_delayed
inline constexpr int kFieldEmpty = -3;         // ft_fieldempty

struct RemoteInfo {
  DWORD sizeLow;
  DWORD sizeHigh;
  FILETIME lastWriteTime;
  int attr;
};

// The same UTF-16 text and records seen through the prototypes' types.
inline fs::WCHAR* Host(std::wstring& text) {
  return reinterpret_cast<fs::WCHAR*>(text.data());
}
inline fs::WCHAR* Host(wchar_t* text) {
  return reinterpret_cast<fs::WCHAR*>(text);
}
inline fs::WIN32_FIND_DATAW* Host(WIN32_FIND_DATAW* data) {
  return reinterpret_cast<fs::WIN32_FIND_DATAW*>(data);
}
inline fs::RemoteInfoStruct* Host(RemoteInfo* info) {
  return reinterpret_cast<fs::RemoteInfoStruct*>(info);
}

// Host callbacks that do nothing: the tests do not watch progress or logging.
inline int QB_STDCALL QuietProgress(int, fs::WCHAR*, fs::WCHAR*, int) {
  return 0;
}
inline void QB_STDCALL QuietLog(int, int, fs::WCHAR*) {}
inline fs::BOOL QB_STDCALL QuietRequest(int, int, fs::WCHAR*, fs::WCHAR*, fs::WCHAR*, int) {
  return fs::kFalse;
}

}  // namespace qb::winetest
