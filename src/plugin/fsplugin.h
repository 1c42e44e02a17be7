// The host's file-system plugin interface, declared from its published values: result codes,
// flags, field types, callbacks and the find-data records. Portable: no operating system
// header is needed, and the records have the host's exact layout.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QB_STDCALL __stdcall
#else
#define QB_STDCALL
#endif

namespace qb::fs {

using BOOL = std::int32_t;
using DWORD = std::uint32_t;
using HANDLE = void*;
using HWND = void*;
using HICON = void*;
using WCHAR = char16_t;

inline constexpr BOOL kTrue = 1;
inline constexpr BOOL kFalse = 0;
inline const HANDLE kInvalidHandleValue = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

inline constexpr int kMaxPath = 260;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[kMaxPath];
  WCHAR cAlternateFileName[14];
};

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[kMaxPath];
  char cAlternateFileName[14];
};

static_assert(sizeof(WIN32_FIND_DATAW) == 592);
static_assert(sizeof(WIN32_FIND_DATAA) == 320);
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 44);
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44);

struct RemoteInfoStruct {
  DWORD SizeLow;
  DWORD SizeHigh;
  FILETIME LastWriteTime;
  std::int32_t Attr;
};

// File attributes of the find data.
inline constexpr DWORD kFileAttributeReadOnly = 0x01;   // FILE_ATTRIBUTE_READONLY
inline constexpr DWORD kFileAttributeDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY

// Result codes of FsGetFile.
inline constexpr int FS_FILE_OK = 0;
inline constexpr int FS_FILE_EXISTS = 1;
inline constexpr int FS_FILE_NOTFOUND = 2;
inline constexpr int FS_FILE_READERROR = 3;
inline constexpr int FS_FILE_WRITEERROR = 4;
inline constexpr int FS_FILE_USERABORT = 5;
inline constexpr int FS_FILE_NOTSUPPORTED = 6;
inline constexpr int FS_FILE_EXISTSRESUMEALLOWED = 7;

// Result codes of FsExecuteFile.
inline constexpr int FS_EXEC_OK = 0;
inline constexpr int FS_EXEC_ERROR = 1;
inline constexpr int FS_EXEC_YOURSELF = -1;
inline constexpr int FS_EXEC_SYMLINK = -2;

// FsGetFile copy flags.
inline constexpr int FS_COPYFLAGS_OVERWRITE = 1;
inline constexpr int FS_COPYFLAGS_RESUME = 2;
inline constexpr int FS_COPYFLAGS_MOVE = 4;

// FsExtractCustomIcon.
inline constexpr int FS_ICONFLAG_SMALL = 1;
inline constexpr int FS_ICONFLAG_BACKGROUND = 2;
inline constexpr int FS_ICON_USEDEFAULT = 0;
inline constexpr int FS_ICON_EXTRACTED = 1;
inline constexpr int FS_ICON_EXTRACTED_DESTROY = 2;
inline constexpr int FS_ICON_DELAYED = 3;

// Content fields.
inline constexpr int ft_nomorefields = 0;
inline constexpr int ft_numeric_32 = 1;
inline constexpr int ft_numeric_64 = 2;
inline constexpr int ft_numeric_floating = 3;
inline constexpr int ft_date = 4;
inline constexpr int ft_time = 5;
inline constexpr int ft_boolean = 6;
inline constexpr int ft_multiplechoice = 7;
inline constexpr int ft_string = 8;
inline constexpr int ft_fulltext = 9;
inline constexpr int ft_datetime = 10;
inline constexpr int ft_stringw = 11;
inline constexpr int ft_nosuchfield = -1;
inline constexpr int ft_fileerror = -2;
inline constexpr int ft_fieldempty = -3;
inline constexpr int ft_ondemand = -4;
inline constexpr int ft_notsupported = -5;
inline constexpr int ft_setcancel = -6;
inline constexpr int ft_delayed = 0;

inline constexpr int CONTENT_DELAYIFSLOW = 1;

// Request types of the host's request callback.
inline constexpr int RT_Other = 0;
inline constexpr int RT_MsgOK = 8;
inline constexpr int RT_MsgYesNo = 9;
inline constexpr int RT_MsgOKCancel = 10;

// FsSetDefaultParams: what the host tells of itself. Later hosts may pass a longer record;
// `size` says how much of it there is.
struct FsDefaultParamStruct {
  std::int32_t size;
  DWORD PluginInterfaceVersionLow;
  DWORD PluginInterfaceVersionHi;
  char DefaultIniName[kMaxPath];
};
static_assert(sizeof(FsDefaultParamStruct) == 272);

// Callbacks the host passes to FsInit / FsInitW.
using tProgressProc = int(QB_STDCALL*)(int PluginNr, char* SourceName, char* TargetName,
                                       int PercentDone);
using tProgressProcW = int(QB_STDCALL*)(int PluginNr, WCHAR* SourceName, WCHAR* TargetName,
                                        int PercentDone);
using tLogProc = void(QB_STDCALL*)(int PluginNr, int MsgType, char* LogString);
using tLogProcW = void(QB_STDCALL*)(int PluginNr, int MsgType, WCHAR* LogString);
using tRequestProc = BOOL(QB_STDCALL*)(int PluginNr, int RequestType, char* CustomTitle,
                                       char* CustomText, char* ReturnedText, int maxlen);
using tRequestProcW = BOOL(QB_STDCALL*)(int PluginNr, int RequestType, WCHAR* CustomTitle,
                                        WCHAR* CustomText, WCHAR* ReturnedText, int maxlen);

}  // namespace qb::fs
