#include "dialogs/dialog_text.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace qb {
namespace {

using platform::ControlKind;
using platform::ControlLayout;

// Tops closer than this are one row: a label and the value beside it differ by a few pixels.
constexpr std::int32_t kRowTolerance = 4;

struct ControlState {
  const ControlLayout* layout = nullptr;
  std::u16string text;
  bool enabled = true;
  bool visible = true;
  bool checked = false;
  std::vector<std::u16string> items;
  int selection = -1;
  platform::LayoutRect bounds;
};

class TextView final : public platform::IDialogView {
 public:
  TextView(const platform::DialogLayout& layout,
           const std::function<std::u16string(std::uint16_t)>& texts)
      : layout_(layout) {
    for (const auto& control : layout.controls) {
      ControlState& state = controls_[control.id];
      state.layout = &control;
      if (control.textId != 0) {
        state.text = texts(control.textId);
      } else if (control.text != nullptr) {
        state.text = control.text;
      }
      state.enabled = (control.style & platform::cs::kDisabled) == 0;
      state.visible = (control.style & platform::cs::kHidden) == 0;
      state.checked = (control.style & platform::cs::kChecked) != 0;
      state.bounds = {control.x, control.y, control.width, control.height};
    }
    if (layout.captionId != 0) caption_ = texts(layout.captionId);
  }

  platform::Handle Window() const override { return 0; }
  void SetCaption(std::u16string_view text) override { caption_ = text; }
  std::u16string Caption() const override { return caption_; }
  void SetText(int id, std::u16string_view text) override {
    if (auto* c = Find(id)) c->text = text;
  }
  std::u16string Text(int id) const override {
    const auto* c = Find(id);
    return c ? c->text : std::u16string();
  }
  void SetEnabled(int id, bool enabled) override {
    if (auto* c = Find(id)) c->enabled = enabled;
  }
  bool IsEnabled(int id) const override {
    const auto* c = Find(id);
    return c && c->enabled;
  }
  void SetVisible(int id, bool visible) override {
    if (auto* c = Find(id)) c->visible = visible;
  }
  bool IsVisible(int id) const override {
    const auto* c = Find(id);
    return c && c->visible;
  }
  void SetChecked(int id, bool checked) override {
    auto* c = Find(id);
    if (c == nullptr) return;
    if (checked && c->layout->kind == ControlKind::kRadio) UncheckGroupOf(id);
    c->checked = checked;
  }
  bool IsChecked(int id) const override {
    const auto* c = Find(id);
    return c && c->checked;
  }
  void SetImage(int, int) override {}
  int Image(int) const override { return -1; }
  void AddItem(int id, std::u16string_view text) override {
    if (auto* c = Find(id)) c->items.emplace_back(text);
  }
  void SetSelection(int id, int index) override {
    if (auto* c = Find(id)) {
      c->selection = index >= 0 && static_cast<std::size_t>(index) < c->items.size() ? index : -1;
    }
  }
  int Selection(int id) const override {
    const auto* c = Find(id);
    return c ? c->selection : -1;
  }
  std::size_t ItemCount(int id) const override {
    const auto* c = Find(id);
    return c ? c->items.size() : 0;
  }
  platform::LayoutRect Bounds(int id) const override {
    const auto* c = Find(id);
    return c ? c->bounds : platform::LayoutRect{};
  }
  void SetBounds(int id, platform::LayoutRect bounds) override {
    if (auto* c = Find(id)) c->bounds = bounds;
  }
  int Focused() const override { return 0; }
  void SetFocus(int) override {}
  platform::Rect WindowRect() const override { return {}; }
  void MoveTo(std::int32_t, std::int32_t) override {}
  void Close(int) override {}

  std::u16string Render() const {
    struct Row {
      std::int32_t top;
      bool dropped;  // led by a radio button that is not checked
      std::u16string text;
    };
    std::vector<Row> rows;
    for (const auto& control : layout_.controls) {
      if (!Showing(control.id)) continue;
      const std::u16string text = Shown(control);
      const bool unchosen = control.kind == ControlKind::kRadio && !Find(control.id)->checked;
      if (text.empty() && !unchosen) continue;
      const std::int32_t top = Top(control.id);
      auto row = std::find_if(rows.begin(), rows.end(), [top](const Row& r) {
        return std::abs(r.top - top) <= kRowTolerance;
      });
      if (row == rows.end()) {
        rows.push_back({top, unchosen, {}});
        row = rows.end() - 1;
      }
      // What sits beside an option not chosen belongs to that option.
      if (row->dropped || text.empty()) continue;
      if (!row->text.empty()) row->text += u" ";
      row->text += text;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.top < b.top; });
    std::u16string out = caption_ + u"\r\n\r\n";
    for (const auto& row : rows) {
      if (!row.dropped && !row.text.empty()) out += row.text + u"\r\n";
    }
    return out;
  }

 private:
  ControlState* Find(int id) {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }
  const ControlState* Find(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }

  // A radio group is the run of radio buttons that begins with a kGroupStart one.
  void UncheckGroupOf(int id) {
    std::vector<int> group;
    bool found = false;
    for (const auto& control : layout_.controls) {
      if (control.kind != ControlKind::kRadio || (control.style & platform::cs::kGroupStart) != 0) {
        if (found) break;
        group.clear();
        if (control.kind != ControlKind::kRadio) continue;
      }
      group.push_back(control.id);
      if (control.id == id) found = true;
    }
    for (const int member : group) controls_[member].checked = false;
  }

  bool Showing(int id) const {
    for (const auto* c = Find(id); c != nullptr; c = Find(c->layout->parent)) {
      if (!c->visible) return false;
      if (c->layout->parent == 0) return true;
    }
    return true;
  }

  std::int32_t Top(int id) const {
    std::int32_t top = 0;
    for (const auto* c = Find(id); c != nullptr; c = Find(c->layout->parent)) {
      top += c->bounds.y;
      if (c->layout->parent == 0) break;
    }
    return top;
  }

  std::u16string Shown(const ControlLayout& control) const {
    const ControlState& state = *Find(control.id);
    switch (control.kind) {
      case ControlKind::kLabel:
      case ControlKind::kEdit:
      case ControlKind::kMemo:
      case ControlKind::kGroupBox:
        return state.text;
      case ControlKind::kRadio:
        return state.checked ? state.text : std::u16string();
      case ControlKind::kNumberEdit:
        return state.enabled ? state.text : std::u16string();
      case ControlKind::kComboList:
        return state.selection >= 0 ? state.items[static_cast<std::size_t>(state.selection)]
                                    : std::u16string();
      default:
        return {};
    }
  }

  const platform::DialogLayout& layout_;
  std::map<int, ControlState> controls_;
  std::u16string caption_;
};

}  // namespace

std::u16string DialogAsText(const platform::DialogLayout& layout,
                            const std::function<std::u16string(std::uint16_t)>& texts,
                            platform::IDialogController& controller) {
  TextView view(layout, texts);
  controller.OnCreate(view);
  controller.OnActivate(view);
  return view.Render();
}

}  // namespace qb
