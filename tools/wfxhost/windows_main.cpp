// wfxhost on Windows: loads a plugin DLL and drives it as Total Commander does.
#include <iostream>
#include <string>
#include <vector>

#include "wfxhost/commands.h"
#include "wfxhost/text_codec.h"
#include "wfxhost/windows_plugin.h"

int wmain(int argc, wchar_t** argv) {
  using namespace qb::wfxhost;
  // The output is UTF-8 throughout.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument(argv[i]);
    arguments.push_back(ToUtf8(std::u16string(argument.begin(), argument.end())));
  }
  const auto parsed = ParseCommandLine(arguments);
  if (parsed.help) {
    std::cout << UsageText(false);
    return kExitOk;
  }
  if (!parsed.options) {
    std::cerr << "wfxhost: " << parsed.error << "\n\n" << UsageText(false);
    return kExitUsage;
  }
  const Options& options = *parsed.options;
  if (options.machine || options.pluginResources) {
    std::cerr << "wfxhost: --machine and --plugin-resources are for the simulated machine of "
                 "the native build; use --plugin\n";
    return kExitUsage;
  }
  if (!options.plugin) {
    std::cerr << "wfxhost: --plugin <path> is required\n\n" << UsageText(false);
    return kExitUsage;
  }
  WindowsPlugin plugin;
  std::string error;
  if (!plugin.Load(*options.plugin, error)) {
    std::cerr << "wfxhost: " << error << "\n";
    return kExitSetup;
  }
  const int status = RunCommand(plugin.plugin(), options, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
