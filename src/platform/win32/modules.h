// IMessageModules over LoadLibrary, FormatMessageW and LoadStringW.
#pragma once

#include "platform/modules.h"

namespace qb::win32 {

class Win32Modules final : public platform::IMessageModules {
 public:
  platform::Handle LoadLibrary(std::u16string_view path, platform::ErrorCode& error) override;
  platform::Handle LoadLibraryAsDataFile(std::u16string_view path,
                                         platform::ErrorCode& error) override;
  platform::Handle GetModuleHandle(std::u16string_view path) override;
  void FreeLibrary(platform::Handle module) override;
  platform::Handle OwnModule() override;
  platform::ErrorCode MessageTemplate(platform::Handle module, std::uint32_t id,
                                      std::u16string& text) override;
  platform::ErrorCode FormatMessage(platform::Handle module, std::uint32_t id,
                                    std::span<const std::u16string> inserts,
                                    std::u16string& text) override;
  std::u16string SystemErrorText(platform::ErrorCode code) override;
  std::u16string LoadOwnString(std::uint32_t id) override;
};

}  // namespace qb::win32
