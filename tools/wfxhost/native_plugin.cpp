#include "wfxhost/native_plugin.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

#include "host/linked_exports.h"
#include "plugin/lifecycle.h"
#include "wfxhost/dialog_report.h"
#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

std::optional<std::string> ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

PluginEnvironment SimEnvironment(sim::Machine& machine) {
  PluginEnvironment env;
  env.lastError = [] { return platform::System().GetLastError(); };
  env.iconName = [&machine](fs::HICON icon) -> std::optional<std::string> {
    const auto name = machine.ui().IconName(reinterpret_cast<platform::Handle>(icon));
    if (!name) return std::nullopt;
    return ToUtf8(*name);
  };
  // Icons of the simulated machine need no release.
  env.destroyIcon = [](fs::HICON) {};
  env.targetsAreHostFiles = false;
  env.copyTarget = [&machine](const std::filesystem::path& hostPath) {
    auto& files = machine.system();
    files.RemoveFile(NativePlugin::kCopyTarget);
    // The plugin must see a file that is in the way, to answer FS_FILE_EXISTS as it would.
    if (std::filesystem::is_regular_file(hostPath)) {
      if (const auto bytes = ReadHostFile(hostPath))
        files.AddFile(NativePlugin::kCopyTarget, *bytes);
    }
    return std::u16string(NativePlugin::kCopyTarget);
  };
  env.scratchTarget = [&machine] {
    machine.system().RemoveFile(NativePlugin::kScratchTarget);
    return std::u16string(NativePlugin::kScratchTarget);
  };
  env.readTarget = [&machine](std::u16string_view target) -> std::optional<std::string> {
    const auto bytes = machine.system().FileContents(target);
    if (!bytes) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  };
  env.removeTarget = [&machine](std::u16string_view target) {
    machine.system().RemoveFile(target);
  };
  // The host's main window, for the dialogs to centre over.
  constexpr platform::Handle kMainWindow = 0x4242;
  machine.ui().SetWindowRect(kMainWindow, platform::Rect{0, 0, 1280, 960});
  env.hostWindow = [] { return reinterpret_cast<fs::HWND>(kMainWindow); };
  env.fileList = [&machine](const std::vector<std::u16string>& entries, std::size_t caret) {
    auto& list = machine.ui().AddListBox(entries, true);
    list.caret = static_cast<int>(caret);
    machine.ui().SetFocusWindow(list.handle());
  };
  auto dialogs = std::make_shared<std::vector<std::string>>();
  env.watchNextDialog = [&machine, dialogs] {
    machine.ui().QueueDialogScript([dialogs](sim::SimDialog& dialog) {
      for (auto& line : DescribeDialog(dialog)) dialogs->push_back(std::move(line));
      dialog.CloseBox();
    });
  };
  env.takeDialogs = [dialogs] { return std::exchange(*dialogs, {}); };
  env.takeMessageBoxes = [&machine] {
    std::vector<std::string> texts;
    for (const auto& box : machine.ui().MessageBoxes()) {
      texts.push_back(ToUtf8(box.caption) + ": " + ToUtf8(box.text));
    }
    machine.ui().ClearMessageBoxes();
    return texts;
  };
  return env;
}

}  // namespace

NativePlugin::NativePlugin(sim::Machine& machine)
    : install_(machine.platform()), plugin_{host::LinkedExports(), SimEnvironment(machine)} {
  plugin::OnProcessAttach();
}

NativePlugin::~NativePlugin() {
  plugin::OnProcessDetach(false);
}

bool LoadPluginResources(sim::Machine& machine, const std::filesystem::path& dll,
                         std::string& error) {
  const auto bytes = ReadHostFile(dll);
  const std::u8string name = dll.u8string();
  const std::string shown(name.begin(), name.end());
  if (!bytes) {
    error = shown + ": cannot be read";
    return false;
  }
  std::string problem;
  if (!machine.modules().LoadOwnImageFromPe(std::as_bytes(std::span(bytes->data(), bytes->size())),
                                            &problem)) {
    error = shown + ": " + problem;
    return false;
  }
  return true;
}

}  // namespace qb::wfxhost
