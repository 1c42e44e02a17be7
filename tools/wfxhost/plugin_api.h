// How the host reaches a plugin: its exports as function pointers, and the few things that
// differ between a plugin DLL on Windows and the plugin code running on a simulated machine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plugin/fsplugin.h"

namespace qb::wfxhost {

// The exports the host uses, with the host's published prototypes. A null pointer is an
// export the plugin does not have.
struct PluginApi {
  using FsInitWFn = int(QB_STDCALL*)(int, fs::tProgressProcW, fs::tLogProcW, fs::tRequestProcW);
  using FsGetDefRootNameFn = void(QB_STDCALL*)(char*, int);
  using FsFindFirstWFn = fs::HANDLE(QB_STDCALL*)(fs::WCHAR*, fs::WIN32_FIND_DATAW*);
  using FsFindNextWFn = fs::BOOL(QB_STDCALL*)(fs::HANDLE, fs::WIN32_FIND_DATAW*);
  using FsFindCloseFn = int(QB_STDCALL*)(fs::HANDLE);
  using FsGetFileWFn = int(QB_STDCALL*)(fs::WCHAR*, fs::WCHAR*, int, fs::RemoteInfoStruct*);
  using FsExecuteFileWFn = int(QB_STDCALL*)(fs::HWND, fs::WCHAR*, fs::WCHAR*);
  using FsExtractCustomIconWFn = int(QB_STDCALL*)(fs::WCHAR*, int, fs::HICON*);
  using FsContentGetSupportedFieldFn = int(QB_STDCALL*)(int, char*, char*, int);
  using FsContentGetDefaultViewWFn = fs::BOOL(QB_STDCALL*)(fs::WCHAR*, fs::WCHAR*, fs::WCHAR*,
                                                           fs::WCHAR*, int);
  using FsContentGetValueWFn = int(QB_STDCALL*)(fs::WCHAR*, int, int, void*, int, int);

  FsInitWFn FsInitW = nullptr;
  FsGetDefRootNameFn FsGetDefRootName = nullptr;
  FsFindFirstWFn FsFindFirstW = nullptr;
  FsFindNextWFn FsFindNextW = nullptr;
  FsFindCloseFn FsFindClose = nullptr;
  FsGetFileWFn FsGetFileW = nullptr;
  FsExecuteFileWFn FsExecuteFileW = nullptr;
  FsExtractCustomIconWFn FsExtractCustomIconW = nullptr;
  FsContentGetSupportedFieldFn FsContentGetSupportedField = nullptr;
  FsContentGetDefaultViewWFn FsContentGetDefaultViewW = nullptr;
  FsContentGetValueWFn FsContentGetValueW = nullptr;
};

// What the host needs besides the exports.
struct PluginEnvironment {
  // The calling thread's last error, as the plugin left it.
  std::function<std::uint32_t()> lastError;
  // The resource name of an icon the plugin handed out; nullopt for a handle of no known icon.
  std::function<std::optional<std::string>(fs::HICON)> iconName;
  // Releases an icon the plugin answered FS_ICON_EXTRACTED_DESTROY for.
  std::function<void(fs::HICON)> destroyIcon;

  // Where the plugin writes: true when the local names given to FsGetFileW are the host's own
  // files; otherwise the plugin writes into another file system and the host carries the
  // bytes over (readTarget / removeTarget).
  bool targetsAreHostFiles = true;
  // The name to give FsGetFileW for a copy that is to end up at `hostPath`. A file already
  // there is visible to the plugin under that name.
  std::function<std::u16string(const std::filesystem::path& hostPath)> copyTarget;
  // A name no file has yet, for a copy the host only reads.
  std::function<std::u16string()> scratchTarget;
  std::function<std::optional<std::string>(std::u16string_view target)> readTarget;
  std::function<void(std::u16string_view target)> removeTarget;

  // Commands that bring up dialogs, where the host can watch them (null where it cannot):
  // the host's main window; a file list box holding `entries` with the caret on entry `caret`
  // and the keyboard focus, as the host's panel has when the user opens a file; and, for the
  // next dialog the plugin shows, what it shows (closed afterwards as with its close box).
  std::function<fs::HWND()> hostWindow;
  std::function<void(const std::vector<std::u16string>& entries, std::size_t caret)> fileList;
  std::function<void()> watchNextDialog;
  // What each dialog watched showed, as lines of text.
  std::function<std::vector<std::string>()> takeDialogs;

  // Texts of the message boxes the plugin showed since the last call (each is answered with
  // its default button, so that no run waits for a user).
  std::function<std::vector<std::string>()> takeMessageBoxes;
};

struct Plugin {
  PluginApi api;
  PluginEnvironment environment;
};

}  // namespace qb::wfxhost
