// The Linux library's files: the host's own files are real, the offline machine's are the
// simulated machine's. A path that starts with "/" is the host's, as the host gives it;
// "Z:\..." names the same files the way Wine does, for paths the core builds itself (the
// settings file and language folder beside the library). Every other path is the machine's.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/sim/services/system.h"
#include "platform/system.h"

namespace qb::linuxlib {

// The host file a path names, nullopt for a path of the machine.
std::optional<std::filesystem::path> HostPath(std::u16string_view path);
// The "Z:\..." form of an absolute host path.
std::u16string DrivePath(const std::filesystem::path& hostPath);

class HostFiles final : public platform::ISystem {
 public:
  // `library`: the library's own file, the module file name the core sees.
  HostFiles(sim::SimSystem& machine, const std::filesystem::path& library)
      : machine_(machine), library_(library), moduleFileName_(DrivePath(library)) {}

  std::u16string ModuleFileName() override { return moduleFileName_; }
  // dlopen with RTLD_NODELETE: dlclose leaves the library mapped from now on.
  platform::ErrorCode PinOwnModule() override;
  bool FileExists(std::u16string_view path) override;
  bool DirectoryExists(std::u16string_view path) override;
  platform::ErrorCode CreateDirectory(std::u16string_view path) override;
  platform::ErrorCode ReadFile(std::u16string_view path, platform::Bytes& data) override;
  platform::ErrorCode WriteFile(std::u16string_view path, platform::ByteSpan data) override;
  platform::ErrorCode ReplaceFile(std::u16string_view from, std::u16string_view to) override;
  platform::ErrorCode DeleteFile(std::u16string_view path) override;
  std::u16string FullPathName(std::u16string_view path) override;
  platform::ErrorCode FindFiles(std::u16string_view pattern,
                                std::vector<platform::FindEntry>& entries) override;

  // The machine's own.
  std::uint32_t ExpandEnvironmentStrings(std::u16string_view source,
                                         std::span<char16_t> buffer) override {
    return machine_.ExpandEnvironmentStrings(source, buffer);
  }
  bool GetVersionEx(std::uint32_t& major) override { return machine_.GetVersionEx(major); }
  platform::Handle CurrentProcess() override { return machine_.CurrentProcess(); }
  std::uint32_t CurrentProcessId() override;
  platform::ErrorCode IsWow64Process(platform::Handle process, bool& wow64) override {
    return machine_.IsWow64Process(process, wow64);
  }
  platform::ErrorCode DisableWow64FsRedirection(std::uintptr_t& oldValue) override {
    return machine_.DisableWow64FsRedirection(oldValue);
  }
  platform::ErrorCode RevertWow64FsRedirection(std::uintptr_t oldValue) override {
    return machine_.RevertWow64FsRedirection(oldValue);
  }
  void SetLastError(platform::ErrorCode code) override { machine_.SetLastError(code); }
  platform::ErrorCode GetLastError() override { return machine_.GetLastError(); }

 private:
  sim::SimSystem& machine_;
  std::filesystem::path library_;
  std::u16string moduleFileName_;
};

}  // namespace qb::linuxlib
