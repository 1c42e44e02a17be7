// The functions of wevtapi.dll the channel service calls, declared here (the backend builds
// against the Windows XP API, which has none of them) and looked up at run time.
#pragma once

#include "platform/win32/evt_variant.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

using EvtHandle = HANDLE;

namespace evtrender {
inline constexpr DWORD kValues = 0;  // EvtRenderEventValues
inline constexpr DWORD kXml = 1;     // EvtRenderEventXml
}  // namespace evtrender

namespace wevtapi {
using OpenChannelEnum = EvtHandle(WINAPI*)(EvtHandle session, DWORD flags);
using NextChannelPath = BOOL(WINAPI*)(EvtHandle channels, DWORD size, LPWSTR buffer, DWORD* used);
using OpenChannelConfig = EvtHandle(WINAPI*)(EvtHandle session, LPCWSTR channel, DWORD flags);
using GetChannelConfigProperty = BOOL(WINAPI*)(EvtHandle config, DWORD id, DWORD flags, DWORD size,
                                               EvtVariant* buffer, DWORD* used);
using SetChannelConfigProperty = BOOL(WINAPI*)(EvtHandle config, DWORD id, DWORD flags,
                                               EvtVariant* value);
using SaveChannelConfig = BOOL(WINAPI*)(EvtHandle config, DWORD flags);
using Query = EvtHandle(WINAPI*)(EvtHandle session, LPCWSTR path, LPCWSTR query, DWORD flags);
using Next = BOOL(WINAPI*)(EvtHandle results, DWORD size, EvtHandle* events, DWORD timeout,
                           DWORD flags, DWORD* returned);
using CreateRenderContext = EvtHandle(WINAPI*)(DWORD pathCount, LPCWSTR* paths, DWORD flags);
using Render = BOOL(WINAPI*)(EvtHandle context, EvtHandle fragment, DWORD flags, DWORD size,
                             void* buffer, DWORD* used, DWORD* propertyCount);
using OpenPublisherMetadata = EvtHandle(WINAPI*)(EvtHandle session, LPCWSTR publisher,
                                                 LPCWSTR logFile, LCID locale, DWORD flags);
using FormatMessage = BOOL(WINAPI*)(EvtHandle metadata, EvtHandle event, DWORD messageId,
                                    DWORD valueCount, EvtVariant* values, DWORD flags, DWORD size,
                                    LPWSTR buffer, DWORD* used);
using OpenLog = EvtHandle(WINAPI*)(EvtHandle session, LPCWSTR path, DWORD flags);
using GetLogInfo = BOOL(WINAPI*)(EvtHandle log, DWORD id, DWORD size, EvtVariant* buffer,
                                 DWORD* used);
using ClearLog = BOOL(WINAPI*)(EvtHandle session, LPCWSTR channel, LPCWSTR target, DWORD flags);
using ExportLog = BOOL(WINAPI*)(EvtHandle session, LPCWSTR path, LPCWSTR query, LPCWSTR target,
                                DWORD flags);
using Close = BOOL(WINAPI*)(EvtHandle object);
}  // namespace wevtapi

// The library's entry points; nullptr for one it lacks.
struct WevtapiProcs {
  wevtapi::OpenChannelEnum openChannelEnum = nullptr;
  wevtapi::NextChannelPath nextChannelPath = nullptr;
  wevtapi::OpenChannelConfig openChannelConfig = nullptr;
  wevtapi::GetChannelConfigProperty getChannelConfigProperty = nullptr;
  wevtapi::SetChannelConfigProperty setChannelConfigProperty = nullptr;
  wevtapi::SaveChannelConfig saveChannelConfig = nullptr;
  wevtapi::Query query = nullptr;
  wevtapi::Next next = nullptr;
  wevtapi::CreateRenderContext createRenderContext = nullptr;
  wevtapi::Render render = nullptr;
  wevtapi::OpenPublisherMetadata openPublisherMetadata = nullptr;
  wevtapi::FormatMessage formatMessage = nullptr;
  wevtapi::OpenLog openLog = nullptr;
  wevtapi::GetLogInfo getLogInfo = nullptr;
  wevtapi::ClearLog clearLog = nullptr;
  wevtapi::ExportLog exportLog = nullptr;
  wevtapi::Close close = nullptr;
};

}  // namespace qb::win32
