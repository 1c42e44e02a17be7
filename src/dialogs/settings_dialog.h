// The settings: the interface language, chosen from the language files beside the library.
#pragma once

#include "dialogs/dialog_context.h"

namespace qb {

namespace settings {
enum : int { Label1 = 100, ComboBox1, Button1, Button2, Label2 };
}  // namespace settings

const platform::DialogLayout& SettingsLayout();

class TEVSettingFrm final : public platform::IDialogController {
 public:
  TEVSettingFrm(const DialogContext& context, platform::Handle hostWindow)
      : fContext(context), fHostWindow(hostWindow) {}
  void OnCreate(platform::IDialogView& view) override;
  void OnClick(platform::IDialogView& view, int control) override;
  // The entry chosen when OK was clicked; -1 before.
  int Chosen() const { return fChosen; }

 private:
  const DialogContext& fContext;
  platform::Handle fHostWindow;
  int fChosen = -1;
};

// True when the dialog was closed with OK; the chosen language is then the current one.
bool ShowSettingsDialog(const DialogContext& context, platform::Handle hostWindow);

}  // namespace qb
