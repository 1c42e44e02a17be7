#include "dialogs/settings_dialog.h"

#include "platform/platform.h"

// The layouts name only the fields a control needs; every other field has its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qb {
namespace {

using K = platform::ControlKind;
using namespace settings;
namespace cs = platform::cs;

// clang-format off
constexpr platform::ControlLayout kControls[] = {
    {.id = Label1, .kind = K::kLabel, .x = 12, .y = 28, .textId = 11, .name = u"Label1"},
    {.id = ComboBox1, .kind = K::kComboList, .x = 117, .y = 25, .width = 161, .height = 21,
     .name = u"ComboBox1"},
    {.id = Button1, .kind = K::kButton, .x = 58, .y = 84, .width = 80, .height = 25, .text = u"OK",
     .style = cs::kDefault, .modalResult = platform::dlgresult::kOk, .name = u"Button1"},
    {.id = Button2, .kind = K::kButton, .x = 152, .y = 84, .width = 80, .height = 25, .textId = 13,
     .style = cs::kCancel, .modalResult = platform::dlgresult::kCancel, .name = u"Button2"},
    // Along the bottom edge: margins of 12 left and right and 4 below.
    {.id = Label2, .kind = K::kLabel, .x = 12, .y = 111, .width = 266, .height = 13,
     .text = u"Quillerbankton " QB_VERSION_TEXT, .name = u"Label2"},
};
// clang-format on

}  // namespace

const platform::DialogLayout& SettingsLayout() {
  static const platform::DialogLayout layout{.name = u"Settings",
                                             .clientWidth = 290,
                                             .clientHeight = 128,
                                             .captionId = 10,
                                             .controls = kControls};
  return layout;
}

void TEVSettingFrm::OnCreate(platform::IDialogView& view) {
  CenterOver(view, fHostWindow);
  std::lock_guard lock(fContext.lock);
  auto& language = fContext.language;
  const std::int32_t count = language.LoadLocaleList();
  const std::u16string current = language.GetCurrentLocaleFile();
  int preselected = 0;
  for (std::int32_t i = 0; i < count && i <= 0xFFFF; ++i) {
    const auto index = static_cast<std::uint16_t>(i);
    view.AddItem(ComboBox1, language.GetLanguageName(index));
    if (language.GetLocaleFile(index) == current) preselected = i;  // the last match wins
  }
  view.SetSelection(ComboBox1, preselected);
}

void TEVSettingFrm::OnClick(platform::IDialogView& view, int control) {
  if (control == Button1) fChosen = view.Selection(ComboBox1);
}

bool ShowSettingsDialog(const DialogContext& context, platform::Handle hostWindow) {
  TEVSettingFrm dialog(context, hostWindow);
  const int result =
      platform::Ui().RunModalDialog(SettingsLayout(), context.Texts(), hostWindow, dialog);
  if (result != platform::dlgresult::kOk) return false;
  if (dialog.Chosen() >= 0 && dialog.Chosen() <= 0xFFFF) {
    platform::ErrorCode error = platform::err::kSuccess;
    {
      std::lock_guard lock(context.lock);
      auto& language = context.language;
      error = language.SetCurrentLocaleFile(
          language.GetLocaleFile(static_cast<std::uint16_t>(dialog.Chosen())));
    }
    // Not remembered: the choice would silently go at the next start.
    if (error != platform::err::kSuccess && error != platform::err::kFileNotFound) {
      ShowFailure(hostWindow, context.Text(10), context.Text(214), error);
    }
  }
  return true;
}

}  // namespace qb
