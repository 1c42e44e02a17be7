// The platform boundary: the one way the portable core reaches the operating system.
// A backend (win32 or sim) fills a Platform and installs it before any core code runs.
#pragma once

#include "platform/accounts.h"
#include "platform/channel_service.h"
#include "platform/eventlog_service.h"
#include "platform/locale.h"
#include "platform/modules.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace qb::platform {

struct Platform {
  IRegistry* registry = nullptr;
  ISystem* system = nullptr;
  ILocale* locale = nullptr;
  IUserInterface* ui = nullptr;
  IMessageModules* modules = nullptr;
  IEventLogService* eventlog = nullptr;
  IAccounts* accounts = nullptr;
  IChannelService* channels = nullptr;
};

// The installed platform. Calling it before Install is a programming error.
Platform& Current();

// Installs `platform` (or nullptr to uninstall). Not thread-safe: install before the core is
// used and uninstall after it has stopped.
void Install(Platform* platform);

// Whether a platform is installed (a library that is unloading may have uninstalled it).
bool IsInstalled();

// Installs a platform for the lifetime of the guard and restores the previous one after it.
class ScopedInstall {
 public:
  explicit ScopedInstall(Platform& platform);
  ~ScopedInstall();
  ScopedInstall(const ScopedInstall&) = delete;
  ScopedInstall& operator=(const ScopedInstall&) = delete;

 private:
  Platform* previous_;
};

// Short accessors for core code.
inline IRegistry& Registry() {
  return *Current().registry;
}
inline ISystem& System() {
  return *Current().system;
}
inline ILocale& Locale() {
  return *Current().locale;
}
inline IUserInterface& Ui() {
  return *Current().ui;
}
inline IMessageModules& Modules() {
  return *Current().modules;
}
inline IEventLogService& EventLogService() {
  return *Current().eventlog;
}
inline IAccounts& Accounts() {
  return *Current().accounts;
}
inline IChannelService& Channels() {
  return *Current().channels;
}

}  // namespace qb::platform
