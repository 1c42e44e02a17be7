// A plugin DLL loaded into the host's process, as Total Commander loads it.
#pragma once

#include "platform/win32/windows_api.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include "host/dialog_watchdog.h"
#include "wfxhost/plugin_api.h"

namespace qb::wfxhost {

class WindowsPlugin {
 public:
  WindowsPlugin() = default;
  // Unloads the DLL (FreeLibrary) after its last call.
  ~WindowsPlugin();
  WindowsPlugin(const WindowsPlugin&) = delete;
  WindowsPlugin& operator=(const WindowsPlugin&) = delete;

  // LoadLibraryW and GetProcAddress of each export; false with the reason when the DLL cannot
  // be loaded.
  bool Load(const std::filesystem::path& dll, std::string& error);

  const Plugin& plugin() const { return plugin_; }

 private:
  struct ModuleDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
  };
  using ModuleHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

  void NameIcons();

  // Declared first, destroyed last: message boxes shown while the DLL unloads are closed too.
  host::DialogWatchdog watchdog_;
  ModuleHandle module_;
  std::map<HICON, std::string> iconNames_;
  Plugin plugin_;
};

}  // namespace qb::wfxhost
