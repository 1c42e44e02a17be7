// The question before an event log is cleared: save it first, clear it, or do nothing.
#pragma once

#include <string>

#include "dialogs/dialog_context.h"

namespace qb {

enum class TClearAction : std::uint8_t { caSaveClear, caClear, caCancel };

namespace confirm {
enum : int { Label1 = 100, Button1, Button2, Button3 };
}  // namespace confirm

const platform::DialogLayout& ClearConfirmLayout();

class TEVConfirmFrm final : public platform::IDialogController {
 public:
  TEVConfirmFrm(platform::Handle owner, std::u16string caption)
      : fOwner(owner), fCaption(std::move(caption)) {}
  void OnCreate(platform::IDialogView& view) override;
  void OnClick(platform::IDialogView& view, int control) override;
  TClearAction ClearAction() const { return fClearAction; }

 private:
  platform::Handle fOwner;
  std::u16string fCaption;
  TClearAction fClearAction = TClearAction::caCancel;
};

// Asks over `owner` with `caption`; any way of closing but the two clear buttons is caCancel.
TClearAction ShowClearConfirm(const DialogContext& context, platform::Handle owner,
                              const std::u16string& caption);

}  // namespace qb
