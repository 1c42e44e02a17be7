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
  const std::u16string extension = dot == std::u16string::npos ? u"" : name.substr(dot);
  auto& system = platform::System();
  // The process's number keeps two hosts side by side (32- and 64-bit) off each other's
  // names; the name stays short whatever the target's, so a long target name fits.
  const std::u16string prefix =
      folder + u"~qb" + util::ToDecimalUnsigned(system.CurrentProcessId()) + u"-";
  std::u16string candidate;
  // Names taken by others are skipped; the service refuses an existing file anyway.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    candidate = prefix + util::ToDecimalUnsigned(++g_serial) + extension;
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
    // Whatever a failed save left behind goes; a file that was there before is another's
    // (another process's backup, perhaps the only one of a cleared log) and stays.
    if (outcome.error != err::kAlreadyExists && outcome.error != err::kFileExists) {
      platform::System().DeleteFile(written);
    }
    return outcome;
  }
  return Replace(written, target, true);
}

}  // namespace qb
