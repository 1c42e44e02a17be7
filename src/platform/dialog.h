// Modal dialogs described once, declaratively, and run by the platform: the Win32 backend
// makes real windows of standard controls from the description, the sim keeps the controls'
// state in memory and lets a test act as the user. The dialog's logic (what is shown where,
// what each button does) lives in the portable core behind IDialogController.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/types.h"

namespace qb::platform {

enum class ControlKind : std::uint8_t {
  kLabel,        // static text; one line sized to its text unless kWordWrap or a width is given
  kEdit,         // read-only single-line edit without border, in the button-face colour
  kMemo,         // read-only multi-line edit with a vertical scroll bar
  kButton,       // push button
  kImageButton,  // push button that shows only an icon (`image`); its text is its accessible name
  kRadio,        // radio button (automatic: checking one unchecks the others of its group)
  kGroupBox,     // group box; controls whose parent it is sit relative to its top-left corner
  kComboList,    // drop-down list without free typing
  kNumberEdit,   // single-line edit that takes digits only, right-aligned
  kUpDown,       // up-down control attached to the control before it (`min`..`max`, `value`)
  kTabs,         // tab control with one page captioned by its text
  kTabPage,      // the page of the kTabs control it names as parent: no window, an origin only
  kIcon,         // 16 x 16 picture showing one image of the dialog's image list
  kPanel,        // no window: an origin for the controls inside it
};

// Style flags of a control.
namespace cs {
inline constexpr std::uint32_t kBold = 0x0001;        // bold variant of the dialog font
inline constexpr std::uint32_t kWordWrap = 0x0002;    // label wraps at spaces inside its box
inline constexpr std::uint32_t kFixedFont = 0x0004;   // "Courier New" bold, same height
inline constexpr std::uint32_t kDisabled = 0x0008;    // initially disabled
inline constexpr std::uint32_t kChecked = 0x0010;     // initially checked
inline constexpr std::uint32_t kHidden = 0x0020;      // initially hidden
inline constexpr std::uint32_t kDefault = 0x0040;     // the default button (Enter)
inline constexpr std::uint32_t kCancel = 0x0080;      // the cancel button (Esc, close box)
inline constexpr std::uint32_t kFocus = 0x0100;       // has the focus when the dialog opens
inline constexpr std::uint32_t kCentered = 0x0200;    // text centred horizontally
inline constexpr std::uint32_t kBottom = 0x0400;      // one line of text at the bottom of the box
inline constexpr std::uint32_t kGroupStart = 0x0800;  // first radio button of a group
}  // namespace cs

// Results a dialog closes with.
namespace dlgresult {
inline constexpr int kNone = 0;
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
}  // namespace dlgresult

// Virtual-key codes the dialogs look at.
namespace vk {
inline constexpr std::uint32_t kReturn = 0x0D;
inline constexpr std::uint32_t kEscape = 0x1B;
inline constexpr std::uint32_t kPrior = 0x21;  // Page Up
inline constexpr std::uint32_t kNext = 0x22;   // Page Down
}  // namespace vk

// One control. A radio group is the run of radio buttons that begins with a kGroupStart one.
// Places and sizes are pixels at 96 DPI, relative to the parent (0: the dialog's
// client area). Controls are created in table order, which is also the tab order.
struct ControlLayout {
  int id = 0;  // unique within the dialog, 100 and above
  ControlKind kind = ControlKind::kLabel;
  int parent = 0;
  std::int32_t x = 0, y = 0, width = 0, height = 0;  // width 0 (labels): sized to the text
  std::uint16_t textId = 0;            // language text shown at creation; 0: none or `text`
  const char16_t* text = nullptr;      // fixed text that is not taken from the language table
  std::uint32_t style = 0;             // cs:: flags
  int modalResult = dlgresult::kNone;  // a click closes the dialog with this result
  const char16_t* image = nullptr;     // kImageButton: icon resource of the plugin
  std::int32_t imageWidth = 0, imageHeight = 0;  // its size at 96 DPI
  std::int32_t min = 0, max = 0, value = 0;      // kUpDown
  const char16_t* name = u"";                    // the control's name, for tests and tools
};

struct DialogLayout {
  const char16_t* name = u"";  // for tests and tools: which dialog this is
  std::int32_t clientWidth = 0, clientHeight = 0;
  std::uint16_t captionId = 0;   // 0: the logic sets the caption
  std::int32_t fontHeight = 13;  // "Tahoma", cell height in pixels
  bool keyPreview = false;       // OnKeyDown sees keys before the controls
  std::span<const ControlLayout> controls;
  std::span<const char16_t* const> imageList;  // icons of the plugin for kIcon controls, 16 x 16
};

// Where a control sits, in 96-DPI pixels relative to the dialog's client area.
struct LayoutRect {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  friend constexpr bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

// The running dialog as its logic sees it. Every call names a control by its layout id; an id the
// dialog does not have is ignored (reads give empty values).
class IDialogView {
 public:
  virtual ~IDialogView() = default;

  // The dialog's window handle: the owner of message boxes and dialogs it opens.
  virtual Handle Window() const = 0;

  virtual void SetCaption(std::u16string_view text) = 0;
  virtual std::u16string Caption() const = 0;

  // The text of a label, edit, memo or button. A label sized to its text follows it.
  virtual void SetText(int id, std::u16string_view text) = 0;
  virtual std::u16string Text(int id) const = 0;

  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  virtual bool IsVisible(int id) const = 0;
  // Radio buttons: checking one unchecks the others of its group. OnClick does not run.
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool IsChecked(int id) const = 0;

  // kIcon: image `index` of the dialog's image list, -1 for none.
  virtual void SetImage(int id, int index) = 0;
  virtual int Image(int id) const = 0;

  // kComboList.
  virtual void AddItem(int id, std::u16string_view text) = 0;
  virtual void SetSelection(int id, int index) = 0;
  virtual int Selection(int id) const = 0;  // -1 when nothing is selected
  virtual std::size_t ItemCount(int id) const = 0;

  // 96-DPI pixels relative to the dialog's client area.
  virtual LayoutRect Bounds(int id) const = 0;
  virtual void SetBounds(int id, LayoutRect bounds) = 0;

  // The control with the keyboard focus, 0 when none of the dialog's has it.
  virtual int Focused() const = 0;
  virtual void SetFocus(int id) = 0;

  // The whole window in screen pixels, and moving it there.
  virtual Rect WindowRect() const = 0;
  virtual void MoveTo(std::int32_t left, std::int32_t top) = 0;

  // Ends the modal loop with `result` once the current event handler has returned.
  virtual void Close(int result) = 0;
};

// What a dialog does. Handlers run on the thread that runs the dialog.
class IDialogController {
 public:
  virtual ~IDialogController() = default;
  // The window and its controls exist with their initial state; the dialog is not shown yet.
  virtual void OnCreate(IDialogView& view) = 0;
  // The dialog became the active window: when it is shown, and again after a window it
  // opened (a message box, a dialog) has closed.
  virtual void OnActivate(IDialogView&) {}
  // A button or radio button was clicked. A button with a modal result closes the dialog
  // with it after this returns.
  virtual void OnClick(IDialogView&, int) {}
  // Key preview (DialogLayout::keyPreview): a key pressed in the dialog, before the focused
  // control sees it. True when handled: the control then does not see it.
  virtual bool OnKeyDown(IDialogView&, std::uint32_t) { return false; }
};

}  // namespace qb::platform
