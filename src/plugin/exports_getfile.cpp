// Copying a record file out: the record's text rendition, written as UTF-16.
#include "platform/platform.h"
#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_text.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"
#include "plugin/record_text.h"
#include "util/text.h"

namespace {

using namespace qb;

// Tells the host's progress callback; true when the user asked to abort.
bool Progress(const std::u16string& remote, const std::u16string& local, int percent) {
  int pluginNr = 0;
  fs::tProgressProcW progressW = nullptr;
  fs::tProgressProc progress = nullptr;
  {
    const plugin::StateLock lock;
    const auto& state = plugin::State();
    pluginNr = state.pluginNr;
    progressW = state.progressW;
    progress = state.progress;
  }
  if (progressW != nullptr) {
    std::u16string r = remote;
    std::u16string l = local;
    return progressW(pluginNr, r.data(), l.data(), percent) == 1;
  }
  if (progress != nullptr) {
    std::string r = platform::Locale().WideToAnsi(remote);
    std::string l = platform::Locale().WideToAnsi(local);
    return progress(pluginNr, r.data(), l.data(), percent) == 1;
  }
  return false;
}

platform::Bytes Utf16File(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const auto& line : lines) {
    text += line;
    text += u"\r\n";
  }
  return util::Utf16LeBytes(text, true);
}

// The record's text, read under the plugin's lock; nullopt with the host's answer when it
// cannot be.
std::optional<std::vector<std::u16string>> RecordText(const plugin::RemoteRecord& name,
                                                      int& error) {
  const plugin::StateLock lock;
  auto& state = plugin::State();
  auto& log = *state.eventLog;
  // The record is read from the log its name gives, whichever log was open before.
  const std::int32_t index = LogIndexOf(log, name.logName);
  TFWEventLogRecord record;
  if (!OpenLogAt(log, index) || !log.Read(false, name.number, record)) {
    error = fs::FS_FILE_READERROR;
    return std::nullopt;
  }
  // A channel goes by its own name ("Microsoft-Windows-PowerShell/Operational").
  const std::u16string root = IsChannelIndex(index) ? log.GetEventLogName(index) : name.logName;
  return plugin::RecordTextLines(log, *state.language, root, record);
}

// The host's progress callback runs its message loop: it is called with the lock let go.
int GetFile(const std::u16string& remote, const std::u16string& local, int copyFlags) {
  if (Progress(remote, local, 0)) return fs::FS_FILE_USERABORT;
  const auto name = plugin::ExtractRecordNumber(remote);
  if (!name) return fs::FS_FILE_NOTFOUND;
  // A user's file is replaced only after the host has asked and calls again with the flag.
  if ((copyFlags & fs::FS_COPYFLAGS_OVERWRITE) == 0 && platform::System().FileExists(local)) {
    return fs::FS_FILE_EXISTS;
  }
  int error = fs::FS_FILE_OK;
  const auto lines = RecordText(*name, error);
  if (!lines) return error;
  if (platform::System().WriteFile(local, Utf16File(*lines)) != platform::err::kSuccess) {
    return fs::FS_FILE_WRITEERROR;
  }
  if (Progress(remote, local, 100)) return fs::FS_FILE_USERABORT;
  return fs::FS_FILE_OK;
}

}  // namespace

extern "C" int QB_STDCALL FsGetFileW(fs::WCHAR* RemoteName, fs::WCHAR* LocalName, int CopyFlags,
                                     fs::RemoteInfoStruct*) {
  try {
    const plugin::ExportCall call;
    if (!call) return fs::FS_FILE_READERROR;
    if (RemoteName == nullptr || LocalName == nullptr) return fs::FS_FILE_NOTFOUND;
    // The local name is the host's own file name, taken as it is.
    return GetFile(plugin::RemotePath(plugin::FromHost(RemoteName)), plugin::FromHost(LocalName),
                   CopyFlags);
  } catch (...) {
    return fs::FS_FILE_READERROR;
  }
}

extern "C" int QB_STDCALL FsGetFile(char* RemoteName, char* LocalName, int CopyFlags,
                                    fs::RemoteInfoStruct* RemoteInfo) {
  try {
    if (RemoteName == nullptr || LocalName == nullptr) return fs::FS_FILE_NOTFOUND;
    std::u16string remote = plugin::FromHostAnsi(RemoteName);
    std::u16string local = plugin::FromHostAnsi(LocalName);
    return FsGetFileW(remote.data(), local.data(), CopyFlags, RemoteInfo);
  } catch (...) {
    return fs::FS_FILE_READERROR;
  }
}
