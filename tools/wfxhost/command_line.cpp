#include "wfxhost/command_line.h"

#include <charconv>

namespace qb::wfxhost {
namespace {

struct CommandInfo {
  const char* word;
  Command command;
  std::size_t operands;
};

constexpr CommandInfo kCommands[] = {
    {"root", Command::kRoot, 0},
    {"ls", Command::kList, 1},
    {"icons", Command::kIcons, 1},
    {"copy", Command::kCopy, 2},
    {"cat", Command::kCat, 1},
    {"open", Command::kOpen, 1},
    {"properties", Command::kProperties, 1},
};

template <typename T>
std::optional<T> Number(const std::string& text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

ParsedCommandLine Error(std::string text) {
  return ParsedCommandLine{std::nullopt, false, std::move(text)};
}

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments) {
  Options options;
  std::optional<CommandInfo> command;
  std::vector<std::string> seen;  // options given, to check they fit the command
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (argument == "--help" || argument == "-h") return ParsedCommandLine{std::nullopt, true, {}};
    if (!argument.starts_with("--")) {
      if (!command) {
        for (const auto& info : kCommands) {
          if (argument == info.word) command = info;
        }
        if (!command) return Error("unknown command \"" + argument + "\"");
      } else {
        options.operands.push_back(argument);
      }
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const auto equals = argument.find('='); equals != std::string::npos) {
      inlineValue = argument.substr(equals + 1);
      argument.resize(equals);
    }
    const auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    const bool isFlag =
        argument == "--columns" || argument == "--large" || argument == "--overwrite";
    if (isFlag && inlineValue) return Error(argument + " takes no value");
    if (argument == "--columns") {
      options.columns = true;
    } else if (argument == "--large") {
      options.large = true;
    } else if (argument == "--overwrite") {
      options.overwrite = true;
    } else if (argument == "--machine" || argument == "--plugin-resources" ||
               argument == "--plugin") {
      const auto text = value();
      if (!text || text->empty()) return Error(argument + " needs a path");
      auto& target = argument == "--machine"            ? options.machine
                     : argument == "--plugin-resources" ? options.pluginResources
                                                        : options.plugin;
      target = PathFromUtf8(*text);
    } else if (argument == "--limit") {
      const auto text = value();
      const auto n = text ? Number<std::size_t>(*text) : std::nullopt;
      if (!n) return Error("--limit needs a number of entries");
      options.limit = *n;
    } else if (argument == "--abort-at") {
      const auto text = value();
      const auto n = text ? Number<int>(*text) : std::nullopt;
      if (!n || *n < 0 || *n > 100) return Error("--abort-at needs a percentage from 0 to 100");
      options.abortAt = *n;
    } else {
      return Error("unknown option " + argument);
    }
    seen.push_back(argument);
  }
  if (!command) return Error("no command given");
  options.command = command->command;
  if (options.operands.size() != command->operands) {
    return Error(std::string(command->word) + " takes " + std::to_string(command->operands) +
                 " operand(s), not " + std::to_string(options.operands.size()));
  }
  for (const auto& option : seen) {
    const bool fits =
        option == "--machine" || option == "--plugin-resources" || option == "--plugin" ||
        ((option == "--limit" || option == "--columns") && options.command == Command::kList) ||
        (option == "--large" && options.command == Command::kIcons) ||
        ((option == "--overwrite" || option == "--abort-at") && options.command == Command::kCopy);
    if (!fits) return Error(option + " does not apply to " + command->word);
  }
  return ParsedCommandLine{std::move(options), false, {}};
}

std::string UsageText(bool native) {
  std::string text = native ? "usage: wfxhost --machine <folder> [--plugin-resources <wfx64>] "
                              "<command> [operands] [options]\n"
                            : "usage: wfxhost --plugin <wfx or wfx64> <command> [operands] "
                              "[options]\n";
  text +=
      "\n"
      "Runs a file-system plugin as Total Commander does.\n"
      "\n"
      "commands:\n"
      "  root                           the plugin's default root name\n"
      "  ls <path> [--limit N] [--columns]\n"
      "                                 lists a folder (\"\\\" or \"\\<log>\"); --columns adds\n"
      "                                 the custom columns and the default view\n"
      "  icons <path> [--large]         the icon the plugin gives each entry of the folder\n"
      "  copy <remote> <local> [--overwrite] [--abort-at PERCENT]\n"
      "                                 copies one file out, showing the progress\n"
      "  cat <remote>                   prints one file's text\n"
      "  open <remote>                  \"open\" on a file: what the dialog it brings shows\n"
      "  properties <remote>            \"properties\" on \"\\\", a folder or a file: the same\n"
      "\n";
  text += native ? "--machine names a machine folder (registry.reg, logs/, files/, machine.ini);\n"
                   "--plugin-resources names a built plugin DLL whose strings, message table and\n"
                   "icons the simulated plugin uses.\n"
                 : "--plugin names the plugin DLL.\n";
  text += "Exit status: 0 success, 1 the plugin reported a failure, 2 usage, 3 setup.\n";
  return text;
}

}  // namespace qb::wfxhost
