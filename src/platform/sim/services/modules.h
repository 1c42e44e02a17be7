// Simulated module loading and message tables. A module's resources come either from an image
// a test registers for a path or from a PE file in the simulated file system.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/modules.h"
#include "platform/sim/formats/module_image.h"

namespace qb::sim {

class SimSystem;
class SimLocale;

class SimModules final : public platform::IMessageModules {
 public:
  SimModules(SimSystem& system, SimLocale& locale);

  // --- the machine as a test describes it ---
  // The resources of the DLL at `path`; takes precedence over a file there.
  void AddImage(std::u16string_view path, ModuleImage image);
  // The plugin's own resources (its module path is the system's ModuleFileName).
  void SetOwnImage(ModuleImage image);
  // Reads the own resources from a built plugin DLL; false (with the reason) when unreadable.
  bool LoadOwnImageFromPe(platform::ByteSpan pe, std::string* error = nullptr);
  const ModuleImage& OwnImage() const { return ownImage_; }
  // The process has this module loaded already (GetModuleHandleW finds it).
  void MarkLoadedInProcess(std::u16string_view path);
  // Loading this path fails with `error`.
  void SetLoadFails(std::u16string_view path, platform::ErrorCode error);

  // The resources of the module file at `path` (a bare name searched as the loader does), as a
  // service that reads them itself sees them: no handle of the process; nullptr with the
  // loader's error.
  std::shared_ptr<const ModuleImage> ImageAt(std::u16string_view path, platform::ErrorCode& error);

  // What the core did, for tests.
  struct Stats {
    std::size_t fullLoads = 0;
    std::size_t dataLoads = 0;
    std::size_t frees = 0;
    std::size_t formatCalls = 0;
    std::size_t templateCalls = 0;
  };
  Stats GetStats() const;
  std::size_t LoadsOf(std::u16string_view path) const;
  // Modules loaded through LoadLibrary*/LoadLibraryAsDataFile and not freed yet.
  std::size_t OpenModuleCount() const;

  // --- IMessageModules ---
  platform::Handle LoadLibrary(std::u16string_view path, platform::ErrorCode& error) override;
  platform::Handle LoadLibraryAsDataFile(std::u16string_view path,
                                         platform::ErrorCode& error) override;
  platform::Handle GetModuleHandle(std::u16string_view path) override;
  void FreeLibrary(platform::Handle module) override;
  platform::Handle OwnModule() override { return kOwnModule; }
  platform::ErrorCode MessageTemplate(platform::Handle module, std::uint32_t id,
                                      std::u16string& text) override;
  platform::ErrorCode FormatMessage(platform::Handle module, std::uint32_t id,
                                    std::span<const std::u16string> inserts,
                                    std::u16string& text) override;
  std::u16string SystemErrorText(platform::ErrorCode code) override;
  std::u16string LoadOwnString(std::uint32_t id) override;

  static constexpr platform::Handle kOwnModule = 0x10000000;

 private:
  struct Loaded {
    std::u16string key;
    std::shared_ptr<const ModuleImage> image;
    bool asData = false;
    int refs = 0;
  };
  static std::u16string Key(std::u16string_view path);
  std::shared_ptr<const ModuleImage> Resolve(const std::u16string& key, std::u16string_view path,
                                             platform::ErrorCode& error);
  platform::Handle Load(std::u16string_view path, bool asData, platform::ErrorCode& error);
  // The file a bare name ("netevent.dll") loads, as the loader searches: system32, then the
  // Windows folder. A path with a folder is itself.
  std::u16string Searched(std::u16string_view path) const;
  const ModuleImage* ImageOf(platform::Handle module) const;

  SimSystem& system_;
  SimLocale& locale_;
  mutable std::mutex mutex_;
  ModuleImage ownImage_;
  std::map<std::u16string, std::shared_ptr<const ModuleImage>> images_;
  std::map<std::u16string, platform::ErrorCode> failures_;
  std::map<std::u16string, platform::Handle> inProcess_;
  std::map<platform::Handle, Loaded> loaded_;
  std::map<std::u16string, std::size_t> loadsByPath_;
  platform::Handle nextHandle_ = 0x20000000;
  Stats stats_;
};

}  // namespace qb::sim
