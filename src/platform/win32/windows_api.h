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

#undef BackupEventLog
#undef ClearEventLog
#undef CreateDirectory
#undef ExpandEnvironmentStrings
#undef FormatMessage
#undef GetModuleHandle
#undef GetVersionEx
#undef LoadLibrary
#undef LookupAccountSid
#undef MessageBox
#undef OpenBackupEventLog
#undef OpenEventLog
#undef ReadEventLog
#undef RegisterEventSource
#undef ReportEvent
