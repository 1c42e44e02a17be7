// The functions the library exports to the host, with the host's published prototypes.
#pragma once

#include "plugin/fsplugin.h"

// The exports stay visible when everything else is hidden (the Linux library).
#if !defined(_WIN32)
#pragma GCC visibility push(default)
#endif
extern "C" {
int QB_STDCALL FsInit(int PluginNr, qb::fs::tProgressProc pProgressProc, qb::fs::tLogProc pLogProc,
                      qb::fs::tRequestProc pRequestProc);
int QB_STDCALL FsInitW(int PluginNr, qb::fs::tProgressProcW pProgressProcW,
                       qb::fs::tLogProcW pLogProcW, qb::fs::tRequestProcW pRequestProcW);
void QB_STDCALL FsGetDefRootName(char* DefRootName, int maxlen);
void QB_STDCALL FsSetDefaultParams(qb::fs::FsDefaultParamStruct* dps);

qb::fs::HANDLE QB_STDCALL FsFindFirstW(qb::fs::WCHAR* Path, qb::fs::WIN32_FIND_DATAW* FindData);
qb::fs::BOOL QB_STDCALL FsFindNextW(qb::fs::HANDLE Hdl, qb::fs::WIN32_FIND_DATAW* FindData);
int QB_STDCALL FsFindClose(qb::fs::HANDLE Hdl);
qb::fs::HANDLE QB_STDCALL FsFindFirst(char* Path, qb::fs::WIN32_FIND_DATAA* FindData);
qb::fs::BOOL QB_STDCALL FsFindNext(qb::fs::HANDLE Hdl, qb::fs::WIN32_FIND_DATAA* FindData);

int QB_STDCALL FsGetFileW(qb::fs::WCHAR* RemoteName, qb::fs::WCHAR* LocalName, int CopyFlags,
                          qb::fs::RemoteInfoStruct* RemoteInfo);
int QB_STDCALL FsGetFile(char* RemoteName, char* LocalName, int CopyFlags,
                         qb::fs::RemoteInfoStruct* RemoteInfo);

int QB_STDCALL FsExecuteFileW(qb::fs::HWND MainWin, qb::fs::WCHAR* RemoteName, qb::fs::WCHAR* Verb);
int QB_STDCALL FsExecuteFile(qb::fs::HWND MainWin, char* RemoteName, char* Verb);

int QB_STDCALL FsExtractCustomIconW(qb::fs::WCHAR* RemoteName, int ExtractFlags,
                                    qb::fs::HICON* TheIcon);
int QB_STDCALL FsExtractCustomIcon(char* RemoteName, int ExtractFlags, qb::fs::HICON* TheIcon);

int QB_STDCALL FsContentGetSupportedField(int FieldIndex, char* FieldName, char* Units, int maxlen);
qb::fs::BOOL QB_STDCALL FsContentGetDefaultViewW(qb::fs::WCHAR* ViewContents,
                                                 qb::fs::WCHAR* ViewHeaders,
                                                 qb::fs::WCHAR* ViewWidths,
                                                 qb::fs::WCHAR* ViewOptions, int maxlen);
qb::fs::BOOL QB_STDCALL FsContentGetDefaultView(char* ViewContents, char* ViewHeaders,
                                                char* ViewWidths, char* ViewOptions, int maxlen);
int QB_STDCALL FsContentGetValueW(qb::fs::WCHAR* FileName, int FieldIndex, int UnitIndex,
                                  void* FieldValue, int maxlen, int flags);
int QB_STDCALL FsContentGetValue(char* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                 int maxlen, int flags);
}
#if !defined(_WIN32)
#pragma GCC visibility pop
#endif

#include "plugin/export_list.h"

// Every name of the one list is a function declared above.
#define QB_DECLARED_EXPORT(name) static_assert(sizeof(&::name) > 0, #name);
QB_PLUGIN_EXPORTS(QB_DECLARED_EXPORT)
#undef QB_DECLARED_EXPORT
