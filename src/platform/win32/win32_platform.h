// The real Windows machine behind the platform boundary: one object per service.
#pragma once

#include "platform/platform.h"
#include "platform/win32/accounts.h"
#include "platform/win32/channel_service.h"
#include "platform/win32/eventlog_service.h"
#include "platform/win32/locale.h"
#include "platform/win32/modules.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/ui.h"

namespace qb::win32 {

class Win32Platform {
 public:
  Win32Platform() noexcept;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The services, ready for platform::Install.
  platform::Platform& Get() noexcept { return platform_; }

 private:
  Win32Registry registry_;
  Win32System system_;
  Win32Locale locale_;
  Win32UserInterface ui_;
  Win32Modules modules_;
  Win32EventLogService eventlog_;
  Win32Accounts accounts_;
  Win32ChannelService channels_;
  platform::Platform platform_;
};

}  // namespace qb::win32
