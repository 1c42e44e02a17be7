// A simulated Windows machine: every platform service in memory, described by a test, a tool
// or files (a registry export, event log files, message DLLs).
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/sim/services/accounts.h"
#include "platform/sim/services/channel_service.h"
#include "platform/sim/services/eventlog_service.h"
#include "platform/sim/services/locale.h"
#include "platform/sim/services/modules.h"
#include "platform/sim/services/registry.h"
#include "platform/sim/services/system.h"
#include "platform/sim/services/ui.h"

namespace qb::sim {

class Machine {
 public:
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  platform::Platform& platform() { return platform_; }

  SimRegistry& registry() { return registry_; }
  SimSystem& system() { return system_; }
  SimLocale& locale() { return locale_; }
  SimModules& modules() { return modules_; }
  SimUi& ui() { return ui_; }
  SimEventLogService& eventlog() { return eventlog_; }
  SimAccounts& accounts() { return accounts_; }
  SimChannelService& channels() { return channels_; }

 private:
  SimRegistry registry_;
  SimSystem system_;
  SimLocale locale_;
  SimModules modules_;
  SimUi ui_;
  SimEventLogService eventlog_;
  SimAccounts accounts_;
  SimChannelService channels_;
  platform::Platform platform_;
};

}  // namespace qb::sim
