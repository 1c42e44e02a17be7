#include "dialogs/log_backup.h"

#include <atomic>

#include "platform/platform.h"
#include "util/paths.h"
#include "util/text.h"

namespace qb {
namespace {

namespace err = platform::err;

std::atomic<std::uint32_t> g_serial{0};

// Replaces `target` by the written backup; the backup goes when that fails.
BackupOutcome Replace(const std::u16string& written, std::u16string_view target, bool keep) {
  auto& system = platform::System();
  BackupOutcome outcome;
  outcome.error = system.ReplaceFile(written, target);
  if (!outcome.ok()) {
    if (keep) {
      outcome.keptAt = written;
    } else {
      system.DeleteFile(written);
    }
  }
  return outcome;
}

}  // namespace

std::u16string BackupSibling(std::u16string_view target) {
  const std::u16string folder = util::ExtractFilePath(target);
  const std::u16string name = util::ExtractFileName(target);
  const auto dot = name.find_last_of(u'.');
  const std::u16string stem = dot == std::u16string::npos ? name : name.substr(0, dot);
  const std::u16string extension = dot == std::u16string::npos ? u"" : name.substr(dot);
  auto& system = platform::System();
  std::u16string candidate;
  // Names taken by others are skipped; the service refuses an existing file anyway.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    candidate = folder + stem + u".~qb" + util::ToDecimalUnsigned(++g_serial) + extension;
    if (!system.FileExists(candidate) && !system.DirectoryExists(candidate)) break;
  }
  return candidate;
}

BackupOutcome BackupLogTo(TFWEventLog& log, std::u16string_view target) {
  const std::u16string written = BackupSibling(target);
  if (!log.CreateBackup(written)) return {log.LastError(), {}};
  return Replace(written, target, false);
}

BackupOutcome SaveAndClearLog(TFWEventLog& log, std::u16string_view target) {
  const std::u16string written = BackupSibling(target);
  if (!log.Clear(written)) {
    BackupOutcome outcome{log.LastError(), {}};
    platform::System().DeleteFile(written);  // whatever a failed save left behind
    return outcome;
  }
  return Replace(written, target, true);
}

}  // namespace qb
