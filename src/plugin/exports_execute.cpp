// "open" on a record shows the record viewer; "properties" on a log folder shows the log's
// properties and on the root the settings. Every other verb is accepted and ignored. A host
// without the library's windows gets the record back to open itself, and the properties and
// settings as text in a message.
#include "dialogs/dialog_text.h"
#include "dialogs/log_properties.h"
#include "dialogs/record_viewer.h"
#include "dialogs/settings_dialog.h"
#include "platform/platform.h"
#include "plugin/export_call.h"
#include "plugin/exports.h"
#include "plugin/host_options.h"
#include "plugin/host_text.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"
#include "util/text.h"

namespace {

using namespace qb;

DialogContext Context() {
  auto& state = plugin::State();
  return DialogContext{*state.eventLog, *state.language, plugin::Lock()};
}

void ShowAsText(platform::Handle mainWin, const platform::DialogLayout& layout,
                const DialogContext& context, platform::IDialogController& dialog) {
  const std::u16string text = DialogAsText(layout, context.Texts(), dialog);
  // The caption heads the text; the message's title is the library's name.
  platform::Ui().MessageBox(mainWin, text, u"Quillerbankton",
                            platform::mb::kOk | platform::mb::kIconInformation);
}

int Properties(platform::Handle mainWin, const std::u16string& remote) {
  const DialogContext context = Context();
  const bool asText = plugin::Options().noPluginWindows;
  if (remote == u"\\") {
    if (asText) {
      TEVSettingFrm settings(context, mainWin);
      ShowAsText(mainWin, SettingsLayout(), context, settings);
    } else {
      ShowSettingsDialog(context, mainWin);
    }
    return fs::FS_EXEC_OK;
  }
  if (remote.size() < 2) return fs::FS_EXEC_OK;
  // A dot in the last component marks a record file (a log whose name holds one is taken for
  // one too): nothing to show.
  const auto slash = remote.find_last_of(u'\\');
  if (remote.find(u'.', slash == std::u16string::npos ? 0 : slash) != std::u16string::npos) {
    return fs::FS_EXEC_OK;
  }
  const std::u16string displayName = remote.substr(1);
  {
    const plugin::StateLock lock;
    // Only a log the catalogue knows has properties to show (or to write back).
    if (LogIndexOf(*plugin::State().eventLog, displayName) == 0) return fs::FS_EXEC_ERROR;
    // A log open for reading stays as it is: the dialog's load step reopens its own log anyway.
    if (!plugin::State().eventLog->OpenState().Has(TFSOpenState::osRead) &&
        !OpenLogNamed(*plugin::State().eventLog, displayName)) {
      return fs::FS_EXEC_ERROR;
    }
  }
  if (asText) {
    TLogPropertiesFrm properties(context, mainWin, displayName);
    ShowAsText(mainWin, LogPropertiesLayout(), context, properties);
  } else {
    ShowLogProperties(context, mainWin, displayName);
  }
  return fs::FS_EXEC_OK;
}

int Execute(platform::Handle mainWin, const std::u16string& remote, const std::u16string& verb) {
  if (util::EqualsNoCase(verb, u"open")) {
    // The host copies the record out and opens the copy in its own viewer.
    if (plugin::Options().noPluginWindows) return fs::FS_EXEC_YOURSELF;
    // The host's file list box has the focus when the user opens an entry of it.
    const platform::Handle listBox = platform::Ui().GetFocusWindow();
    return ShowRecordViewer(Context(), mainWin, listBox, plugin::FolderOf(remote))
               ? fs::FS_EXEC_OK
               : fs::FS_EXEC_ERROR;
  }
  if (util::EqualsNoCase(verb, u"properties")) return Properties(mainWin, remote);
  return fs::FS_EXEC_OK;
}

}  // namespace

extern "C" int QB_STDCALL FsExecuteFileW(fs::HWND MainWin, fs::WCHAR* RemoteName, fs::WCHAR* Verb) {
  try {
    const plugin::ExportCall call;
    if (!call) return fs::FS_EXEC_ERROR;
    if (RemoteName == nullptr || Verb == nullptr) return fs::FS_EXEC_OK;
    return Execute(reinterpret_cast<platform::Handle>(MainWin),
                   plugin::RemotePath(plugin::FromHost(RemoteName)), plugin::FromHost(Verb));
  } catch (...) {
    return fs::FS_EXEC_ERROR;
  }
}

extern "C" int QB_STDCALL FsExecuteFile(fs::HWND MainWin, char* RemoteName, char* Verb) {
  try {
    if (RemoteName == nullptr || Verb == nullptr) return fs::FS_EXEC_OK;
    std::u16string remote = plugin::FromHostAnsi(RemoteName);
    std::u16string verb = plugin::FromHostAnsi(Verb);
    return FsExecuteFileW(MainWin, remote.data(), verb.data());
  } catch (...) {
    return fs::FS_EXEC_ERROR;
  }
}
