// How the host reaches a plugin: its exports as function pointers (the table all host-side
// programs share), and the few things that differ between a plugin DLL on Windows and the
// plugin code running on a simulated machine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_exports.h"
#include "plugin/fsplugin.h"

namespace qb::wfxhost {

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
  host::PluginExports api;
  PluginEnvironment environment;
};

}  // namespace qb::wfxhost
