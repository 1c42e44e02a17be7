#include "platform/win32/dialog_controls.h"

namespace qb::win32 {
namespace {

using platform::ControlKind;
namespace cs = platform::cs;

bool Has(const platform::ControlLayout& layout, std::uint32_t flag) {
  return (layout.style & flag) != 0;
}

}  // namespace

bool IsFocusable(ControlKind kind) noexcept {
  switch (kind) {
    case ControlKind::kEdit:
    case ControlKind::kMemo:
    case ControlKind::kButton:
    case ControlKind::kImageButton:
    case ControlKind::kRadio:
    case ControlKind::kComboList:
    case ControlKind::kNumberEdit:
    case ControlKind::kTabs:
      return true;
    default:
      return false;
  }
}

bool IsClickable(ControlKind kind) noexcept {
  return kind == ControlKind::kButton || kind == ControlKind::kImageButton ||
         kind == ControlKind::kRadio;
}

ControlClass ClassOf(const platform::ControlLayout& layout) noexcept {
  DWORD base = WS_CHILD;
  if (!Has(layout, cs::kHidden)) base |= WS_VISIBLE;
  if (Has(layout, cs::kDisabled)) base |= WS_DISABLED;
  // Of a radio group only the checked button is a tab stop (see DialogWindow::SetChecked).
  if (IsFocusable(layout.kind) &&
      (layout.kind != ControlKind::kRadio || Has(layout, cs::kChecked))) {
    base |= WS_TABSTOP;
  }
  const DWORD push = Has(layout, cs::kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  switch (layout.kind) {
    case ControlKind::kLabel: {
      // SS_NOPREFIX: the text read back is exactly the text shown, ampersands included.
      DWORD align = SS_LEFTNOWORDWRAP;
      if (Has(layout, cs::kCentered)) {
        align = SS_CENTER;
      } else if (Has(layout, cs::kWordWrap)) {
        align = SS_LEFT;
      }
      return {WC_STATICW, base | align | SS_NOPREFIX, 0};
    }
    case ControlKind::kEdit:
      return {WC_EDITW, base | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY, 0};
    case ControlKind::kMemo:
      // ES_WANTRETURN: Enter stays with the memo instead of pressing the default button.
      return {WC_EDITW, base | ES_MULTILINE | ES_READONLY | ES_WANTRETURN | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::kButton:
      return {WC_BUTTONW, base | push, 0};
    case ControlKind::kImageButton:
      return {WC_BUTTONW, base | push | BS_ICON, 0};
    case ControlKind::kRadio:
      return {WC_BUTTONW, base | BS_AUTORADIOBUTTON, 0};
    case ControlKind::kGroupBox:
      return {WC_BUTTONW, base | BS_GROUPBOX, 0};
    case ControlKind::kComboList:
      return {WC_COMBOBOXW, base | CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    case ControlKind::kNumberEdit:
      return {WC_EDITW, base | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::kUpDown:
      // Not UDS_ALIGNRIGHT: that would move the up-down into its buddy and shrink the buddy.
      return {UPDOWN_CLASSW, base | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0};
    case ControlKind::kTabs:
      // Below the controls of its page in the z-order, it must not paint over them.
      return {WC_TABCONTROLW, base | WS_CLIPSIBLINGS, 0};
    case ControlKind::kIcon:
      return {WC_STATICW, base | SS_ICON, 0};
    case ControlKind::kTabPage:
    case ControlKind::kPanel:
      break;
  }
  return {};
}

}  // namespace qb::win32
