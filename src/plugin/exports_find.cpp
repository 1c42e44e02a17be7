// The directory listing: the root lists the logs, a log folder lists its records.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_text.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"

namespace {

using qb::fs::HANDLE;
using qb::fs::kInvalidHandleValue;
using qb::fs::WIN32_FIND_DATAA;
using qb::fs::WIN32_FIND_DATAW;
namespace err = qb::platform::err;

HANDLE Fail(qb::platform::ErrorCode code) {
  qb::platform::System().SetLastError(code);
  return kInvalidHandleValue;
}

// Not admitted: the library is unloading, and its platform may be gone already.
HANDLE NotLoaded() {
  if (qb::platform::IsInstalled()) qb::platform::System().SetLastError(err::kNotEnoughMemory);
  return kInvalidHandleValue;
}

void FillFolder(WIN32_FIND_DATAW& data, std::u16string_view displayName) {
  std::memset(&data, 0, sizeof(data));
  data.dwFileAttributes = qb::fs::kFileAttributeDirectory;
  qb::plugin::CopyToHost(data.cFileName, qb::fs::kMaxPath, displayName);
}

void FillRecord(WIN32_FIND_DATAW& data, const qb::TFileItemView& item) {
  std::memset(&data, 0, sizeof(data));
  data.dwFileAttributes = qb::fs::kFileAttributeReadOnly;
  data.ftLastWriteTime = {item.fiTime.dwLowDateTime, item.fiTime.dwHighDateTime};
  data.nFileSizeLow = item.fiSize;
  qb::plugin::RecordFileNameInto(item, std::span<char16_t>(data.cFileName, qb::fs::kMaxPath));
}

// A message with the system's text for `error`, once the plugin's lock is let go.
void TellWhy(std::u16string text, qb::platform::ErrorCode error) {
  std::u16string reason = qb::platform::Modules().SystemErrorText(error);
  while (!reason.empty() && reason.back() <= u' ') reason.pop_back();
  if (!reason.empty()) text += u"\r\n\r\n" + reason;
  qb::plugin::Tell(std::move(text), qb::platform::mb::kOk | qb::platform::mb::kIconError);
}

// The next entry of the listing into `findData`: the root's classic logs, then the listing's
// folders, then its records. False when there is none.
bool NextEntry(WIN32_FIND_DATAW* findData) {
  using namespace qb;
  auto& state = plugin::State();
  auto& find = *state.findRecord;
  std::uint32_t at = find.frItemIndex;
  if (find.frIsRoot) {
    const auto logs = static_cast<std::uint32_t>(state.eventLog->EventLogCount());
    if (at < logs) {
      FillFolder(*findData, state.eventLog->GetEventLogDisplayName(static_cast<std::int32_t>(at)));
      find.frItemIndex = at + 1;
      return true;
    }
    at -= logs;
  }
  if (at < find.frFolders.size()) {
    FillFolder(*findData, find.frFolders[at]);
  } else if (at - find.frFolders.size() < find.frEventList.size()) {
    FillRecord(*findData, find.frEventList[at - find.frFolders.size()]);
  } else {
    return false;
  }
  ++find.frItemIndex;
  return true;
}

HANDLE FindFirst(std::u16string_view path, WIN32_FIND_DATAW* findData) {
  using namespace qb;
  auto& state = plugin::State();
  auto& log = *state.eventLog;
  auto& find = *state.findRecord;
  const std::u16string name(path.empty() ? path : path.substr(1));
  const std::int32_t index = name.empty() ? 0 : LogIndexOf(log, name);
  // A folder of channels that is no channel itself lists its subfolders only.
  const auto channelFolder = index == 0 ? ChannelFolderOf(log, name) : std::nullopt;
  if (!name.empty() && index == 0 && !channelFolder) return Fail(err::kPathNotFound);

  std::memset(findData, 0, sizeof(*findData));
  // A fresh list: the memory of a large log goes as soon as another folder is listed.
  find.frEventList.clear();
  find.frFolders.clear();
  ++find.frSerial;
  find.frPath = name;
  find.frIsRoot = name.empty();
  // The root's first entry is the catalogue's first log: its placeholder is never listed.
  find.frItemIndex = find.frIsRoot ? 1 : 0;
  if (log.OpenState().Has(TFSOpenState::osRead)) log.Close(TFSOpenState::osRead);
  // What the columns read of the old listing goes too (later, should a column be being read),
  // and every log's account names are asked afresh.
  state.columns->Reset();
  log.ForgetAccountNames();

  if (find.frIsRoot) {
    // Windows with channels (Vista and later) lists their folder after the classic logs.
    if (log.ChannelsAvailable()) find.frFolders.push_back(log.ChannelsFolderName());
    // An empty catalogue is an empty folder.
    return NextEntry(findData) ? &find : Fail(err::kNoMoreFiles);
  }
  if (channelFolder) find.frFolders = channelFolder->subfolders;
  if (index == 0) return NextEntry(findData) ? &find : Fail(err::kNoMoreFiles);
  if (IsChannelIndex(index)) {
    // A channel that is a folder of others too lists those first.
    if (const auto folder = ChannelFolderOf(log, name)) find.frFolders = folder->subfolders;
  }
  if (!log.Open(index, TFSOpenState::osRead)) {
    // Say why: without administrator rights the Security log says "Access is denied."
    TellWhy(state.language->GetLocaleString(203), log.LastError());
    return Fail(err::kFileNotFound);
  }
  const std::uint32_t count = log.RecordCount(false, false);
  if (count == 0) return NextEntry(findData) ? &find : Fail(err::kNoMoreFiles);
  const bool complete = log.Read(false, false, &find.frEventList);
  if (find.frEventList.empty() && find.frFolders.empty()) {
    return Fail(complete ? err::kNoMoreFiles : err::kReadFault);
  }
  // What was read is shown; that it is not all of the log is said once, with the reason (a
  // damaged record, the log cleared meanwhile).
  if (!complete) TellWhy(state.language->GetLocaleString(215), log.LastError());
  NextEntry(findData);
  return &find;
}

qb::fs::BOOL FindNext(HANDLE hdl, WIN32_FIND_DATAW* findData) {
  using namespace qb;
  auto& find = *plugin::State().findRecord;
  if (hdl != &find) {
    platform::System().SetLastError(err::kInvalidHandle);
    return fs::kFalse;
  }
  return NextEntry(findData) ? fs::kTrue : fs::kFalse;
}

// The 8-bit record: the 44 bytes before the names as they are, the names in the ANSI code
// page, cut to their fields.
void ToAnsi(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* ansi) {
  std::memset(ansi, 0, sizeof(*ansi));
  std::memcpy(ansi, &wide, offsetof(WIN32_FIND_DATAW, cFileName));
  qb::plugin::CopyToHostAnsi(ansi->cFileName, sizeof(ansi->cFileName), wide.cFileName);
  qb::plugin::CopyToHostAnsi(ansi->cAlternateFileName, sizeof(ansi->cAlternateFileName),
                             wide.cAlternateFileName);
}

}  // namespace

extern "C" HANDLE QB_STDCALL FsFindFirstW(qb::fs::WCHAR* Path, WIN32_FIND_DATAW* FindData) {
  try {
    const qb::plugin::ExportCall call;
    if (!call) return NotLoaded();
    if (Path == nullptr || FindData == nullptr) return Fail(err::kInvalidParameter);
    const qb::plugin::StateLock lock;
    return FindFirst(qb::plugin::RemotePath(qb::plugin::FromHost(Path)), FindData);
  } catch (...) {
    return Fail(err::kReadFault);
  }
}

extern "C" qb::fs::BOOL QB_STDCALL FsFindNextW(HANDLE Hdl, WIN32_FIND_DATAW* FindData) {
  try {
    const qb::plugin::ExportCall call;
    if (!call || FindData == nullptr) return qb::fs::kFalse;
    const qb::plugin::StateLock lock;
    return FindNext(Hdl, FindData);
  } catch (...) {
    return qb::fs::kFalse;
  }
}

extern "C" int QB_STDCALL FsFindClose(HANDLE) {
  return 0;
}

extern "C" HANDLE QB_STDCALL FsFindFirst(char* Path, WIN32_FIND_DATAA* FindData) {
  try {
    if (Path == nullptr || FindData == nullptr) {
      return qb::plugin::IsLoaded() ? Fail(err::kInvalidParameter) : NotLoaded();
    }
    std::u16string wide = qb::plugin::FromHostAnsi(Path);
    WIN32_FIND_DATAW data{};
    const HANDLE h = FsFindFirstW(wide.data(), &data);
    ToAnsi(data, FindData);
    return h;
  } catch (...) {
    return Fail(err::kReadFault);
  }
}

extern "C" qb::fs::BOOL QB_STDCALL FsFindNext(HANDLE Hdl, WIN32_FIND_DATAA* FindData) {
  try {
    if (FindData == nullptr) return qb::fs::kFalse;
    WIN32_FIND_DATAW data{};
    const qb::fs::BOOL found = FsFindNextW(Hdl, &data);
    // A failed call leaves the host's record as it was, as the wide export does.
    if (found) ToAnsi(data, FindData);
    return found;
  } catch (...) {
    return qb::fs::kFalse;
  }
}
