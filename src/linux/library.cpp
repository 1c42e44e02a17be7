// The Linux library's start and end: what DllMain does for the Windows build. Loading maps the
// library and installs its platform (in memory only); the offline machine's folder is read at
// the first FsInit / FsInitW, not under the dynamic loader's lock; dlclose or the end of the
// process detaches the core.
#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "linux/host_files.h"
#include "linux/host_ui.h"
#include "linux/machine_choice.h"
#include "linux/own_image.h"
#include "localization/ini_file.h"
#include "platform/platform.h"
#include "platform/sim/machine.h"
#include "platform/sim/machine_folder.h"
#include "plugin/export_call.h"
#include "plugin/host_options.h"
#include "plugin/lifecycle.h"
#include "util/no_destructor.h"
#include "util/text.h"

namespace qb::linuxlib {
namespace {

namespace stdfs = std::filesystem;

// The simulated offline machine, with the host's files and the host's messages in place of
// the machine's.
class LibraryPlatform {
 public:
  explicit LibraryPlatform(const stdfs::path& library)
      : files_(machine_.system(), library), ui_(machine_.ui()) {
    machine_.system().SetModuleFileName(DrivePath(library));
    machine_.modules().SetOwnImage(OwnImage());
    platform_ = machine_.platform();
    platform_.system = &files_;
    platform_.ui = &ui_;
  }
  sim::Machine& machine() { return machine_; }
  platform::Platform& platform() { return platform_; }

 private:
  sim::Machine machine_;
  HostFiles files_;
  HostUi ui_;
  platform::Platform platform_;
};

struct Library {
  stdfs::path file;
  std::unique_ptr<LibraryPlatform> platform;
  bool machineLoaded = false;
};

// Never destroyed by the runtime: the unload below decides what goes.
Library& TheLibrary() {
  static util::NoDestructor<Library> library;
  return *library;
}

stdfs::path OwnFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFile), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code ec;
  const stdfs::path path = stdfs::absolute(info.dli_fname, ec);
  return ec ? stdfs::path(info.dli_fname) : path;
}

// Under the plugin's lock: the message waits until it is let go.
void Tell(const std::string& text) {
  plugin::Tell(util::Utf8ToUtf16(text), platform::mb::kOk | platform::mb::kIconError);
}

// Runs at dlclose and at the process's end alike. Once the host's background thread has called
// in, the library is pinned, dlclose leaves it mapped, and this runs only as the process ends,
// perhaps while that thread is still inside: nothing is touched then. Otherwise the core goes
// when no thread is inside it, and the platform after it; what a thread is inside stays.
__attribute__((destructor)) void OnUnload() {
  try {
    auto& library = TheLibrary();
    if (!library.platform || plugin::ModulePinned()) return;
    if (!plugin::OnProcessDetach(false)) return;
    plugin::ForgetRequestProcs();
    platform::Install(nullptr);
    library.platform.reset();
    // The objects stay (never destroyed); what they hold goes with the library.
    stdfs::path().swap(library.file);
  } catch (...) {
  }
}

// Under the plugin's lock, before the core's load steps. A machine that does not load leaves
// an empty one behind: the root lists nothing, and the user is told why once.
void LoadMachine() {
  auto& library = TheLibrary();
  if (library.machineLoaded || !library.platform) return;
  library.machineLoaded = true;
  const stdfs::path folder = ChosenMachineFolder(library.file);
  std::error_code ec;
  if (!stdfs::is_directory(folder, ec)) {
    Tell("No offline Windows machine to show: the folder " + folder.string() +
         " does not exist.\nName a machine folder as Folder in the [Machine] section of " +
         SettingsFile(library.file).string() + ", or place one named \"machine\" beside " +
         library.file.string() + ".");
    return;
  }
  std::string error;
  std::vector<std::string> skipped;
  if (sim::LoadMachineFolder(library.platform->machine(), folder, &error, &skipped)) {
    if (skipped.empty()) return;
    std::string text = "Parts of the offline Windows machine in " + folder.string() +
                       " cannot be read and are left out:";
    for (const auto& part : skipped) text += "\n" + part;
    Tell(text);
    return;
  }
  auto fresh = std::make_unique<LibraryPlatform>(library.file);
  platform::Install(&fresh->platform());
  library.platform = std::move(fresh);
  Tell("The offline Windows machine in " + folder.string() + " cannot be read: " + error);
}

// Only pointers and memory here: nothing is read from disk while the loader runs us.
__attribute__((constructor)) void OnLoad() {
  try {
    auto& library = TheLibrary();
    library.file = OwnFile();
    library.platform = std::make_unique<LibraryPlatform>(library.file);
    platform::Install(&library.platform->platform());
    plugin::SetHostOptions({.noPluginWindows = true, .beforeLoad = &LoadMachine});
    // The settings file beside the library is a Linux text file.
    ini::SetEightBitText(ini::EightBitText::kUtf8);
    plugin::OnProcessAttach();
  } catch (...) {
    // Only a lack of memory gets here; no exception may reach the loader.
  }
}

}  // namespace
}  // namespace qb::linuxlib
