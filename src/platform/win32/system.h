// ISystem over kernel32: files, environment, version and WOW64.
#pragma once

#include "platform/system.h"

namespace qb::win32 {

class Win32System final : public platform::ISystem {
 public:
  std::u16string ModuleFileName() override;
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
  std::uint32_t ExpandEnvironmentStrings(std::u16string_view source,
                                         std::span<char16_t> buffer) override;
  bool GetVersionEx(std::uint32_t& major) override;
  platform::Handle CurrentProcess() override;
  std::uint32_t CurrentProcessId() override;
  platform::ErrorCode IsWow64Process(platform::Handle process, bool& wow64) override;
  platform::ErrorCode DisableWow64FsRedirection(std::uintptr_t& oldValue) override;
  platform::ErrorCode RevertWow64FsRedirection(std::uintptr_t oldValue) override;
  void SetLastError(platform::ErrorCode code) override;
  platform::ErrorCode GetLastError() override;
};

}  // namespace qb::win32
