// The plugin's commands driven as the host drives them, with the simulated user interface: a
// host window, the host's file list box with the focus, and scripted dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/services/dialog.h"
#include "platform/sim/services/list_box.h"
#include "support/plugin_fixture.h"

namespace qb::support {

class DialogTest : public PluginTest {
 protected:
  static constexpr platform::Handle kHostWindow = 0x4242;

  DialogTest();

  sim::SimUi& ui() { return machine().ui(); }
  // The host's file list box of a log folder: ".." and the listed names, the caret on entry
  // `caret`, the focus on it.
  sim::SimListBox& HostList(const std::vector<std::u16string>& names, int caret,
                            bool multipleSelection = true);

  int Execute(std::u16string remote, std::u16string verb);
  // The next dialog runs `script`.
  void Then(std::function<void(sim::SimDialog&)> script);
  // The last dialog that closed; fails the test when there was none.
  sim::SimUi::DialogRecord LastDialog();
  // A control's text in a closed dialog.
  static std::u16string TextOf(const sim::SimUi::DialogRecord& dialog, int id);
  static const sim::SimDialog::ControlState& ControlOf(const sim::SimUi::DialogRecord& dialog,
                                                       int id);
  // The texts of the message boxes shown since the last call.
  std::vector<std::u16string> TakeMessages();
};

}  // namespace qb::support
