#include "dialogs/clear_confirm.h"

#include "platform/platform.h"

// The layouts name only the fields a control needs; every other field has its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qb {
namespace {

using K = platform::ControlKind;
using namespace confirm;
namespace cs = platform::cs;
constexpr int kCloses = platform::dlgresult::kOk;

// clang-format off
constexpr platform::ControlLayout kControls[] = {
    {.id = Label1, .kind = K::kLabel, .width = 503, .height = 30, .textId = 52,
     .style = cs::kCentered | cs::kBottom, .name = u"Label1"},
    {.id = Button1, .kind = K::kButton, .x = 68, .y = 40, .width = 150, .height = 25, .textId = 49,
     .style = cs::kDefault | cs::kFocus, .modalResult = kCloses, .name = u"Button1"},
    {.id = Button2, .kind = K::kButton, .x = 226, .y = 40, .width = 87, .height = 25, .textId = 51,
     .modalResult = kCloses, .name = u"Button2"},
    {.id = Button3, .kind = K::kButton, .x = 323, .y = 40, .width = 87, .height = 25, .textId = 13,
     .style = cs::kCancel, .modalResult = platform::dlgresult::kCancel, .name = u"Button3"},
};
// clang-format on

}  // namespace

const platform::DialogLayout& ClearConfirmLayout() {
  static const platform::DialogLayout layout{
      .name = u"ClearConfirm", .clientWidth = 503, .clientHeight = 70, .controls = kControls};
  return layout;
}

void TEVConfirmFrm::OnCreate(platform::IDialogView& view) {
  CenterOver(view, fOwner);
  view.SetCaption(fCaption);
}

void TEVConfirmFrm::OnClick(platform::IDialogView&, int control) {
  if (control == Button1) fClearAction = TClearAction::caSaveClear;
  if (control == Button2) fClearAction = TClearAction::caClear;
}

TClearAction ShowClearConfirm(const DialogContext& context, platform::Handle owner,
                              const std::u16string& caption) {
  TEVConfirmFrm dialog(owner, caption);
  platform::Ui().RunModalDialog(ClearConfirmLayout(), context.Texts(), owner, dialog);
  return dialog.ClearAction();
}

}  // namespace qb
