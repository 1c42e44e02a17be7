// A simulated modal dialog: the controls of a DialogLayout kept in memory, the dialog manager's
// handling of clicks and keys, and a test acting as the user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace qb::sim {

class SimDialog final : public platform::IDialogView {
 public:
  struct ControlState {
    int id = 0;
    platform::ControlKind kind{};
    std::u16string text;
    bool enabled = true, visible = true, checked = false;
    int image = -1;                     // kIcon
    std::vector<std::u16string> items;  // kComboList
    int selection = -1;                 // kComboList
    platform::LayoutRect bounds;        // 96-DPI, relative to the client area
  };

  // Pixels per character of a label sized to its text, and the frame around the client area.
  static constexpr std::int32_t kCharWidth = 6;
  static constexpr std::int32_t kFrameSide = 3, kFrameTop = 25;

  SimDialog(const platform::DialogLayout& layout,
            const std::function<std::u16string(std::uint16_t)>& texts, platform::Handle window,
            platform::IDialogController& controller);

  // --- acting as the user (ignored once the dialog has closed) ---
  void Click(int id);
  void PressKey(std::uint32_t virtualKey);
  void CloseBox();
  void Focus(int id);
  void Type(int id, std::u16string_view text);
  void Choose(int id, int index);
  bool closed() const { return closed_; }
  int result() const { return result_; }
  const platform::DialogLayout& layout() const { return layout_; }
  std::vector<ControlState> Controls() const { return controls_; }
  const ControlState* Control(int id) const;

  // --- IDialogView ---
  platform::Handle Window() const override { return window_; }
  void SetCaption(std::u16string_view text) override { caption_ = text; }
  std::u16string Caption() const override { return caption_; }
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
  int Focused() const override { return focus_; }
  void SetFocus(int id) override;
  platform::Rect WindowRect() const override { return rect_; }
  void MoveTo(std::int32_t left, std::int32_t top) override;
  void Close(int result) override;

  // The controller runs its handlers through these; an exception closes the dialog.
  void RunCreate();
  void RunActivate();

 private:
  ControlState* Find(int id);
  const platform::ControlLayout* LayoutOf(int id) const;
  bool Focusable(const ControlState& control) const;
  std::vector<int> GroupOf(int id) const;
  void AutoSize(ControlState& control);
  template <typename Handler>
  void Guarded(Handler&& handler);

  const platform::DialogLayout& layout_;
  platform::Handle window_;
  platform::IDialogController& controller_;
  std::u16string caption_;
  std::vector<ControlState> controls_;
  int focus_ = 0;
  platform::Rect rect_;
  bool closed_ = false;
  int result_ = platform::dlgresult::kNone;
};

}  // namespace qb::sim
