// The host's command line: a command, its operands and options, in any order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qb::wfxhost {

enum class Command { kRoot, kList, kIcons, kCopy, kCat, kOpen, kProperties };

struct Options {
  Command command = Command::kRoot;
  std::vector<std::string> operands;  // UTF-8, after the command word
  // Where the plugin comes from: a machine folder (native) or a plugin DLL (Windows).
  std::optional<std::filesystem::path> machine;
  std::optional<std::filesystem::path> pluginResources;
  std::optional<std::filesystem::path> plugin;
  std::optional<std::size_t> limit;  // ls
  bool columns = false;              // ls
  bool large = false;                // icons
  bool overwrite = false;            // copy
  std::optional<int> abortAt;        // copy: the percentage at which the host aborts
};

struct ParsedCommandLine {
  std::optional<Options> options;  // none for help and for errors
  bool help = false;
  std::string error;
};

// `arguments` without the program name, UTF-8.
ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

// A path from UTF-8 text, whatever the host's own 8-bit encoding.
std::filesystem::path PathFromUtf8(const std::string& text);

// `native`: the build that runs the plugin on a simulated machine.
std::string UsageText(bool native);

}  // namespace qb::wfxhost
