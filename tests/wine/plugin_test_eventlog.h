// Stand-ins for advapi32's classic event log functions, with the Win32 signatures, that hand
// every call to an event log service object: Wine's own functions are empty, so the plugin's
// imports are pointed at these and it reads the records the test put into the service.
#pragma once

#include <memory>
#include <vector>

#include "iat_patch.h"
#include "platform/eventlog_service.h"

namespace qb::winetest {

class RedirectedEventLog {
 public:
  // The functions reach `service` while this object lives; there may be one at a time.
  explicit RedirectedEventLog(platform::IEventLogService& service);
  ~RedirectedEventLog();
  RedirectedEventLog(const RedirectedEventLog&) = delete;
  RedirectedEventLog& operator=(const RedirectedEventLog&) = delete;

  // OpenEventLogW, CloseEventLog, ReadEventLogW and the rest of the family, by export name.
  static std::vector<ImportReplacement> Replacements();

  // Threads that pass the service's change signals on to the Win32 events the plugin gave.
  struct Forwarders;

 private:
  std::unique_ptr<Forwarders> forwarders_;
};

}  // namespace qb::winetest
