// The plugin code linked into the host, running on a simulated machine: what loading the
// plugin DLL into a process amounts to, without Windows.
#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "wfxhost/plugin_api.h"

namespace qb::wfxhost {

class NativePlugin {
 public:
  // Installs the machine's platform and attaches the plugin code, as DllMain does.
  explicit NativePlugin(sim::Machine& machine);
  // Detaches the plugin code and restores the platform installed before.
  ~NativePlugin();
  NativePlugin(const NativePlugin&) = delete;
  NativePlugin& operator=(const NativePlugin&) = delete;

  const Plugin& plugin() const { return plugin_; }

  // The names in the machine's file system the copies go to before the host carries them out.
  static constexpr char16_t kCopyTarget[] = u"C:\\Temp\\wfxhost-copy.txt";
  static constexpr char16_t kScratchTarget[] = u"C:\\Temp\\wfxhost-cat.txt";

 private:
  platform::ScopedInstall install_;
  Plugin plugin_;
};

// Gives the machine the plugin's own resources (strings, message table, icons) from a built
// plugin DLL. False with the reason when the file cannot be read or is no such DLL.
bool LoadPluginResources(sim::Machine& machine, const std::filesystem::path& dll,
                         std::string& error);

}  // namespace qb::wfxhost
