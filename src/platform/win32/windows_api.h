// The Windows headers, for the win32 backend only. Several of windows.h's A/W macros share
// their names with methods of the platform interfaces; they are removed here so that every
// translation unit sees the interfaces exactly as the core does.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
// After windows.h: the common controls and dialogs, which the lean windows.h leaves out.
#include <commctrl.h>
#include <commdlg.h>

#undef BackupEventLog
#undef ClearEventLog
#undef CreateDirectory
#undef DeleteFile
#undef ExpandEnvironmentStrings
#undef FormatMessage
#undef GetFullPathName
#undef GetModuleHandle
#undef GetSaveFileName
#undef GetVersionEx
#undef LoadLibrary
#undef LookupAccountSid
#undef MessageBox
#undef OpenBackupEventLog
#undef OpenEventLog
#undef ReadEventLog
#undef RegisterEventSource
#undef ReplaceFile
#undef ReportEvent
#undef SendMessage
