// BackupEventLogW and ClearEventLogW as the plugin's dialogs need them under Wine: the
// simulated service keeps its backups in a simulated file system, but the save dialog and
// the replacing of the chosen file work on real files. These stand-ins write the log's .evt
// bytes to the real file, refuse an existing one as the service does, and clear the
// simulated log only once its backup was written.
#pragma once

#include <memory>
#include <vector>

#include "iat_patch.h"

namespace qb::sim {
class SimEventLogService;
}

namespace qb::winetest::dialogs {

class RealFileBackups {
 public:
  // The functions reach `service` while this object lives; there may be one at a time.
  explicit RealFileBackups(sim::SimEventLogService& service);

  // The redirected event log family, with OpenEventLogW and CloseEventLog that remember
  // which log a handle reads, and the two writing functions of this file.
  static std::vector<ImportReplacement> Replacements();

  // The backups written so far, failed attempts included.
  static int Attempts();

 private:
  // Points the functions away from the service (and forgets its handles) as the object goes.
  struct Release {
    void operator()(sim::SimEventLogService* service) const;
  };
  std::unique_ptr<sim::SimEventLogService, Release> service_;
};

}  // namespace qb::winetest::dialogs
