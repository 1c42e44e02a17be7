// Backing up and clearing a log without ever losing the user's file or a record: the service
// refuses to write onto an existing file, so the backup goes to a new file beside the chosen
// one, which then replaces it in one step.
#pragma once

#include <string>

#include "eventlog/event_log.h"

namespace qb {

struct BackupOutcome {
  platform::ErrorCode error = platform::err::kSuccess;
  // When the log was cleared but its backup could not replace the chosen file: where the
  // records are now.
  std::u16string keptAt;
  bool ok() const { return error == platform::err::kSuccess; }
};

// A name in the folder of `target` that no file has, for the backup to be written to.
std::u16string BackupSibling(std::u16string_view target);

// Backs the log open for reading up to `target`; on failure the old file stays.
BackupOutcome BackupLogTo(TFWEventLog& log, std::u16string_view target);

// Clears the log open for reading after saving it to `target`, in one service call so that no
// record written in between is lost. When saving fails, the log is not cleared and the old file
// stays; when only the replacing fails, the records stay in `keptAt`.
BackupOutcome SaveAndClearLog(TFWEventLog& log, std::u16string_view target);

}  // namespace qb
