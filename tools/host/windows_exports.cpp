#include "host/windows_exports.h"

#include <cstddef>
#include <type_traits>

namespace qb::host {
namespace {

// The records the plugin's declarations give the host are the ones windows.h gives it: a
// field out of place there would pass every test that uses the same declarations on both
// sides.
#define QB_HOST_SAME_FIELD(ours, theirs, field)                                             \
  static_assert(offsetof(ours, field) == offsetof(theirs, field),                           \
                #ours "::" #field " lies where windows.h has it");                          \
  static_assert(sizeof(ours::field) == sizeof(theirs::field),                               \
                #ours "::" #field " has windows.h's size");                                 \
  static_assert(                                                                            \
      std::is_signed_v<decltype(ours::field)> == std::is_signed_v<decltype(theirs::field)>, \
      #ours "::" #field " has windows.h's signedness")
#define QB_HOST_SAME_RECORD(ours, theirs) \
  static_assert(sizeof(ours) == sizeof(theirs), #ours " has windows.h's size")

QB_HOST_SAME_RECORD(fs::FILETIME, ::FILETIME);
QB_HOST_SAME_FIELD(fs::FILETIME, ::FILETIME, dwLowDateTime);
QB_HOST_SAME_FIELD(fs::FILETIME, ::FILETIME, dwHighDateTime);

QB_HOST_SAME_RECORD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, dwFileAttributes);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, ftCreationTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, ftLastAccessTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, ftLastWriteTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, nFileSizeHigh);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, nFileSizeLow);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, dwReserved0);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, dwReserved1);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, cFileName);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAW, ::WIN32_FIND_DATAW, cAlternateFileName);

QB_HOST_SAME_RECORD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, dwFileAttributes);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, ftCreationTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, ftLastAccessTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, ftLastWriteTime);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, nFileSizeHigh);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, nFileSizeLow);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, dwReserved0);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, dwReserved1);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, cFileName);
QB_HOST_SAME_FIELD(fs::WIN32_FIND_DATAA, ::WIN32_FIND_DATAA, cAlternateFileName);

// The host's RemoteInfoStruct as its published header declares it, in windows.h's types.
struct PublishedRemoteInfo {
  DWORD SizeLow;
  DWORD SizeHigh;
  FILETIME LastWriteTime;
  int Attr;
};
QB_HOST_SAME_RECORD(fs::RemoteInfoStruct, PublishedRemoteInfo);
QB_HOST_SAME_FIELD(fs::RemoteInfoStruct, PublishedRemoteInfo, SizeLow);
QB_HOST_SAME_FIELD(fs::RemoteInfoStruct, PublishedRemoteInfo, SizeHigh);
QB_HOST_SAME_FIELD(fs::RemoteInfoStruct, PublishedRemoteInfo, LastWriteTime);
QB_HOST_SAME_FIELD(fs::RemoteInfoStruct, PublishedRemoteInfo, Attr);

#undef QB_HOST_SAME_RECORD
#undef QB_HOST_SAME_FIELD

// The scalars and the calling convention of the prototypes.
static_assert(std::is_same_v<void(QB_STDCALL*)(int), void(WINAPI*)(int)>,
              "the exports and callbacks use WINAPI's calling convention");
static_assert(sizeof(fs::BOOL) == sizeof(::BOOL) && std::is_signed_v<fs::BOOL>);
static_assert(sizeof(fs::DWORD) == sizeof(::DWORD) && std::is_unsigned_v<fs::DWORD>);
static_assert(sizeof(fs::WCHAR) == sizeof(::WCHAR));
static_assert(std::is_same_v<fs::HANDLE, ::HANDLE>);
static_assert(sizeof(fs::HWND) == sizeof(::HWND) && sizeof(fs::HICON) == sizeof(::HICON));
static_assert(fs::kMaxPath == MAX_PATH);

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function,
             std::vector<std::string>& missing) {
  const FARPROC proc = GetProcAddress(module, name);
  // Through the generic function pointer type: the documented way to convert FARPROC.
  function =
      proc != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc)) : nullptr;
  if (proc == nullptr) missing.emplace_back(name);
}

}  // namespace

std::vector<std::string> ResolveExports(HMODULE module, PluginExports& exports) {
  std::vector<std::string> missing;
#define QB_HOST_RESOLVE(name) Resolve(module, #name, exports.name, missing);
  QB_PLUGIN_EXPORTS(QB_HOST_RESOLVE)
#undef QB_HOST_RESOLVE
  return missing;
}

}  // namespace qb::host
