#include "dialogs/dialog_context.h"

#include "platform/platform.h"
#include "sysutil/dialog_placement.h"
#include "util/text.h"

namespace qb {

void CenterOver(platform::IDialogView& view, platform::Handle window) {
  const platform::Rect r = view.WindowRect();
  sysutil::FormBounds form{r.left, r.top, r.right - r.left, r.bottom - r.top};
  sysutil::CenterFormOverWindow(form, window);
  view.MoveTo(form.Left, form.Top);
}

void ShowFailure(platform::IDialogView& view, std::u16string_view what, platform::ErrorCode error) {
  ShowFailure(view.Window(), view.Caption(), what, error);
}

void ShowFailure(platform::Handle owner, std::u16string_view caption, std::u16string_view what,
                 platform::ErrorCode error) {
  std::u16string reason = platform::Modules().SystemErrorText(error);
  while (!reason.empty() && reason.back() <= u' ') reason.pop_back();
  if (reason.empty()) reason = u"Error " + util::ToDecimalUnsigned(error) + u".";
  platform::Ui().MessageBox(owner, std::u16string(what) + u"\r\n\r\n" + reason, caption,
                            platform::mb::kOk | platform::mb::kIconError);
}

}  // namespace qb
