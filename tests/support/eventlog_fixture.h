// A simulated machine with event logs, for the tests of the event log object and above.
#pragma once

#include <memory>

#include "eventlog/event_log.h"
#include "localization/language.h"
#include "platform/sim/formats/event_record.h"
#include "support/own_resources.h"
#include "support/sim_fixture.h"

namespace qb::support {

inline const std::u16string kEventLogKey = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\";

class EventLogTest : public SimTest {
 protected:
  EventLogTest();

  // A log known to the registry and to the service (catalogue order is registry order).
  sim::SimEventLog& AddLog(std::u16string_view name);
  // Registers an event source of a log with its message libraries.
  void AddSource(std::u16string_view log, std::u16string_view source,
                 std::u16string_view eventMessageFile,
                 std::u16string_view categoryMessageFile = {});
  // A message library at `path` with the given messages.
  void AddLibrary(std::u16string_view path, std::map<std::uint32_t, std::u16string> messages);

  // A record of `source` with sensible defaults.
  static sim::RecordFields Record(std::u16string source, std::uint32_t eventId = 1,
                                  std::uint16_t type = 4);

  TLngResource& language();
  // The event log object, made at first use (after the test has described the machine).
  TFWEventLog& log();
  void ResetLog() { log_.reset(); }

 private:
  std::unique_ptr<TLngResource> language_;
  std::unique_ptr<TFWEventLog> log_;
};

}  // namespace qb::support
