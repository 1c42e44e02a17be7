// What every dialog works with: the shared event log object, the language and the lock that
// serialises their use with the host's background thread. Dialogs take the lock only around
// their calls on the event log object, never while a window is up, so that a column value the
// host fetches meanwhile never waits for the user.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "eventlog/event_log.h"
#include "localization/language.h"
#include "platform/dialog.h"

namespace qb {

struct DialogContext {
  TFWEventLog& log;
  TLngResource& language;
  std::recursive_mutex& lock;

  std::u16string Text(std::uint16_t id) const { return language.GetLocaleString(id); }
  // The language texts for a dialog's controls.
  std::function<std::u16string(std::uint16_t)> Texts() const {
    return [this](std::uint16_t id) { return language.GetLocaleString(id); };
  }
};

// Centres the dialog over `window` inside the virtual screen.
void CenterOver(platform::IDialogView& view, platform::Handle window);

// A modal error box over the dialog: `what` failed, and the system's text for `error`.
void ShowFailure(platform::IDialogView& view, std::u16string_view what, platform::ErrorCode error);
// The same over any window, with the given caption (a dialog that has closed already).
void ShowFailure(platform::Handle owner, std::u16string_view caption, std::u16string_view what,
                 platform::ErrorCode error);

}  // namespace qb
