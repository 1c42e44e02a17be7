// wfxhost on Linux: the plugin code linked in, on a simulated machine loaded from a folder.
#include <iostream>
#include <string>
#include <vector>

#include "platform/sim/machine_folder.h"
#include "wfxhost/commands.h"
#include "wfxhost/native_plugin.h"

int main(int argc, char** argv) {
  using namespace qb::wfxhost;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto parsed = ParseCommandLine(arguments);
  if (parsed.help) {
    std::cout << UsageText(true);
    return kExitOk;
  }
  if (!parsed.options) {
    std::cerr << "wfxhost: " << parsed.error << "\n\n" << UsageText(true);
    return kExitUsage;
  }
  const Options& options = *parsed.options;
  if (options.plugin) {
    std::cerr << "wfxhost: --plugin loads a DLL, which only the Windows build can; use --machine\n";
    return kExitUsage;
  }
  if (!options.machine) {
    std::cerr << "wfxhost: --machine <folder> is required\n\n" << UsageText(true);
    return kExitUsage;
  }

  qb::sim::Machine machine;
  std::string error;
  std::vector<std::string> skipped;
  if (!qb::sim::LoadMachineFolder(machine, *options.machine, &error, &skipped)) {
    std::cerr << "wfxhost: " << error << "\n";
    return kExitSetup;
  }
  for (const auto& part : skipped) std::cerr << "wfxhost: warning: skipped " << part << "\n";
  if (options.pluginResources) {
    if (!LoadPluginResources(machine, *options.pluginResources, error)) {
      std::cerr << "wfxhost: " << error << "\n";
      return kExitSetup;
    }
  } else {
    std::cerr << "wfxhost: warning: no --plugin-resources: the plugin's own texts, message "
                 "table and icons are missing\n";
  }
  NativePlugin plugin(machine);
  return RunCommand(plugin.plugin(), options, std::cout, std::cerr);
}
