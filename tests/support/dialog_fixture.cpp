#include "support/dialog_fixture.h"

namespace qb::support {

DialogTest::DialogTest() {
  ui().SetWindowRect(kHostWindow, platform::Rect{100, 100, 1100, 800});
}

sim::SimListBox& DialogTest::HostList(const std::vector<std::u16string>& names, int caret,
                                      bool multipleSelection) {
  std::vector<std::u16string> items{u".."};
  items.insert(items.end(), names.begin(), names.end());
  auto& list = ui().AddListBox(std::move(items), multipleSelection);
  list.caret = caret;
  ui().SetFocusWindow(list.handle());
  return list;
}

int DialogTest::Execute(std::u16string remote, std::u16string verb) {
  return FsExecuteFileW(reinterpret_cast<fs::HWND>(kHostWindow), remote.data(), verb.data());
}

void DialogTest::Then(std::function<void(sim::SimDialog&)> script) {
  ui().QueueDialogScript(std::move(script));
}

sim::SimUi::DialogRecord DialogTest::LastDialog() {
  const auto dialogs = ui().Dialogs();
  if (dialogs.empty()) {
    ADD_FAILURE() << "no dialog was shown";
    return {};
  }
  return dialogs.back();
}

const sim::SimDialog::ControlState& DialogTest::ControlOf(const sim::SimUi::DialogRecord& dialog,
                                                          int id) {
  for (const auto& control : dialog.controls) {
    if (control.id == id) return control;
  }
  static const sim::SimDialog::ControlState kNone;
  ADD_FAILURE() << "the dialog has no control " << id;
  return kNone;
}

std::u16string DialogTest::TextOf(const sim::SimUi::DialogRecord& dialog, int id) {
  return ControlOf(dialog, id).text;
}

std::vector<std::u16string> DialogTest::TakeMessages() {
  std::vector<std::u16string> texts;
  for (const auto& box : ui().MessageBoxes()) texts.push_back(box.text);
  ui().ClearMessageBoxes();
  return texts;
}

}  // namespace qb::support
