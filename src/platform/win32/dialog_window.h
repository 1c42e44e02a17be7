// A modal dialog of standard controls made from a DialogLayout, run with a message loop of its
// own, and the view its controller works through.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/win32/dialog_fonts.h"
#include "platform/win32/ui_handles.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

using DialogTexts = std::function<std::u16string(std::uint16_t)>;

// Makes the dialog, runs it while the owner is disabled and returns the result it closed with
// once its window is destroyed; dlgresult::kNone when the window could not be made.
int RunDialog(const platform::DialogLayout& layout, const DialogTexts& texts, HWND owner,
              platform::IDialogController& controller) noexcept;

class DialogWindow final : public platform::IDialogView {
 public:
  DialogWindow(const platform::DialogLayout& layout, const DialogTexts& texts, HWND owner,
               platform::IDialogController& controller) noexcept;
  ~DialogWindow() override = default;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  int Run() noexcept;

  platform::Handle Window() const override;
  void SetCaption(std::u16string_view text) override;
  std::u16string Caption() const override;
  void SetText(int id, std::u16string_view text) override;
  std::u16string Text(int id) const override;
  void SetEnabled(int id, bool enabled) override;
  bool IsEnabled(int id) const override;
  void SetVisible(int id, bool visible) override;
  bool IsVisible(int id) const override;
  void SetChecked(int id, bool checked) override;
  bool IsChecked(int id) const override;
  void SetImage(int id, int index) override;
  int Image(int id) const override;
  void AddItem(int id, std::u16string_view text) override;
  void SetSelection(int id, int index) override;
  int Selection(int id) const override;
  std::size_t ItemCount(int id) const override;
  platform::LayoutRect Bounds(int id) const override;
  void SetBounds(int id, platform::LayoutRect bounds) override;
  int Focused() const override;
  void SetFocus(int id) override;
  platform::Rect WindowRect() const override;
  void MoveTo(std::int32_t left, std::int32_t top) override;
  void Close(int result) override;

 private:
  struct Control {
    const platform::ControlLayout* layout = nullptr;
    HWND window = nullptr;
    RECT box{};           // windowless kinds: where they lie, device pixels in the client area
    POINT childOrigin{};  // where the places of the controls inside it count from
    SIZE page{};          // kTabs: the size of its display area
    int dropHeight = 0;   // kComboList: what the drop-down list adds to the window's height
    int image = -1;       // kIcon: the image shown
    UniqueIcon icon;      // the icon it shows (kIcon, kImageButton)
    bool enabled = true, visible = true;  // windowless kinds
  };

  // dialog_build.cpp: the window's size and place, the fonts, images and controls.
  void Build();
  void PlaceWindow();
  void MakeImageList();
  void MakeControl(Control& control, bool group, HWND previous);
  void FitLabel(Control& control);
  std::u16string TextOf(std::uint16_t textId) const;

  // dialog_window.cpp: the modal loop and the dialog procedure.
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
  std::optional<WPARAM> Loop() noexcept;
  bool Preview(const MSG& msg) noexcept;
  void OnCommand(int id, int code) noexcept;
  bool OnActivated() noexcept;
  void Click(Control& control) noexcept;
  void Cancel() noexcept;
  void PlaceInitialFocus() noexcept;
  void Destroyed() noexcept;
  template <class Handler>
  void Guarded(Handler&& handler) noexcept;

  // dialog_page.cpp: controls on a tab page drawn over the page, not over the dialog's face.
  const Control* TabsBeneath(const Control& control) const;
  static bool IsTransparent(const Control& control);
  INT_PTR OnColorStatic(HDC dc, HWND window) noexcept;
  HBRUSH PageBrush(const Control& tabs) noexcept;
  // A transparent control changed: what lies beneath it, `before` and now, is painted again.
  void RepaintBeneath(const Control& control, const RECT& before);
  RECT PlaceOf(const Control& control) const;

  // dialog_view.cpp
  Control* Find(int id);
  const Control* Find(int id) const;
  HWND WindowOf(int id) const;
  bool Usable(const Control& control) const;
  // The run of radio buttons the radio button at `index` belongs to: [first, last).
  std::pair<std::size_t, std::size_t> RadioGroupOf(std::size_t index) const;

  const platform::DialogLayout& layout_;
  const DialogTexts& texts_;
  HWND owner_;
  platform::IDialogController& controller_;
  HWND dialog_ = nullptr;
  DialogScale scale_{kLayoutDpi};
  std::optional<DialogFonts> fonts_;
  UniqueImageList images_;
  std::vector<int> imageSlots_;  // layout.imageList index -> image list index, -1 if missing
  UniqueBitmap pageImage_;       // the tab control as it paints itself, for pageBrush_
  UniqueBrush pageBrush_;
  std::vector<Control> controls_;
  int cancelId_ = 0;
  int focusRequest_ = 0;  // SetFocus before the dialog is shown
  int result_ = platform::dlgresult::kNone;
  bool created_ = false;      // OnCreate has run
  bool focusPlaced_ = false;  // the initial focus is set
  bool closed_ = false;       // the loop ends
  bool broken_ = false;       // a handler threw: no handler runs any more
  bool ending_ = false;       // the window is about to go
  bool destroyed_ = false;    // the window is gone
};

}  // namespace qb::win32
