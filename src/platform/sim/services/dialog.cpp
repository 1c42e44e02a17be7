#include "platform/sim/services/dialog.h"

#include <algorithm>

namespace qb::sim {

using platform::ControlKind;
namespace cs = platform::cs;

SimDialog::SimDialog(const platform::DialogLayout& layout,
                     const std::function<std::u16string(std::uint16_t)>& texts,
                     platform::Handle window, platform::IDialogController& controller)
    : layout_(layout), window_(window), controller_(controller) {
  if (layout.captionId != 0) caption_ = texts(layout.captionId);
  for (const auto& c : layout.controls) {
    ControlState state;
    state.id = c.id;
    state.kind = c.kind;
    if (c.textId != 0) {
      state.text = texts(c.textId);
    } else if (c.text != nullptr) {
      state.text = c.text;
    }
    state.enabled = (c.style & cs::kDisabled) == 0;
    state.visible = (c.style & cs::kHidden) == 0;
    state.checked = (c.style & cs::kChecked) != 0;
    // A control sits at its parent's origin plus its own place; a tab page's origin lies inside
    // its tab control, below the tabs.
    std::int32_t x = c.x, y = c.y;
    for (int parent = c.parent; parent != 0;) {
      const auto* p = LayoutOf(parent);
      if (p == nullptr) break;
      x += p->x;
      y += p->y;
      if (p->kind == ControlKind::kTabPage) {
        if (const auto* tabs = LayoutOf(p->parent)) {
          x += tabs->x + 4;
          y += tabs->y + 24;
          parent = tabs->parent;
          continue;
        }
      }
      parent = p->parent;
    }
    state.bounds = {x, y, c.width, c.height == 0 ? layout.fontHeight : c.height};
    controls_.push_back(std::move(state));
    AutoSize(controls_.back());
  }
  rect_ = {0, 0, layout.clientWidth + 2 * kFrameSide, layout.clientHeight + kFrameTop + kFrameSide};
  for (const auto& c : layout.controls) {
    if ((c.style & cs::kFocus) != 0) focus_ = c.id;
  }
  if (focus_ == 0) {
    for (const auto& state : controls_) {
      if (Focusable(state)) {
        focus_ = state.id;
        break;
      }
    }
  }
}

const platform::ControlLayout* SimDialog::LayoutOf(int id) const {
  for (const auto& c : layout_.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

SimDialog::ControlState* SimDialog::Find(int id) {
  for (auto& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const SimDialog::ControlState* SimDialog::Control(int id) const {
  for (const auto& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

bool SimDialog::Focusable(const ControlState& control) const {
  switch (control.kind) {
    case ControlKind::kButton:
    case ControlKind::kImageButton:
    case ControlKind::kRadio:
    case ControlKind::kEdit:
    case ControlKind::kMemo:
    case ControlKind::kNumberEdit:
    case ControlKind::kComboList:
    case ControlKind::kTabs:
      return control.enabled && control.visible;
    default:
      return false;
  }
}

void SimDialog::AutoSize(ControlState& control) {
  const auto* c = LayoutOf(control.id);
  if (c == nullptr || c->kind != ControlKind::kLabel || c->width != 0) return;
  control.bounds.width = static_cast<std::int32_t>(control.text.size()) * kCharWidth;
}

std::vector<int> SimDialog::GroupOf(int id) const {
  // The run of radio buttons that begins with a kGroupStart one.
  std::vector<int> group;
  for (const auto& c : layout_.controls) {
    const bool radio = c.kind == ControlKind::kRadio;
    if (!radio || (c.style & cs::kGroupStart) != 0) {
      if (std::find(group.begin(), group.end(), id) != group.end()) return group;
      group.clear();
    }
    if (radio) group.push_back(c.id);
  }
  if (std::find(group.begin(), group.end(), id) != group.end()) return group;
  return {id};
}

template <typename Handler>
void SimDialog::Guarded(Handler&& handler) {
  // A failing handler ends the dialog, as an exception escaping a window procedure would have
  // to be caught there.
  try {
    handler();
  } catch (...) {
    Close(platform::dlgresult::kCancel);
  }
}

void SimDialog::RunCreate() {
  Guarded([&] { controller_.OnCreate(*this); });
}

void SimDialog::RunActivate() {
  if (!closed_) Guarded([&] { controller_.OnActivate(*this); });
}

void SimDialog::Click(int id) {
  auto* control = Find(id);
  if (closed_ || control == nullptr || !control->enabled || !control->visible) return;
  const auto* c = LayoutOf(id);
  if (control->kind == ControlKind::kRadio) SetChecked(id, true);
  if (Focusable(*control)) focus_ = id;
  Guarded([&] { controller_.OnClick(*this, id); });
  if (!closed_ && c->modalResult != platform::dlgresult::kNone) Close(c->modalResult);
}

void SimDialog::PressKey(std::uint32_t virtualKey) {
  if (closed_) return;
  if (layout_.keyPreview) {
    bool handled = false;
    Guarded([&] { handled = controller_.OnKeyDown(*this, virtualKey); });
    if (handled || closed_) return;
  }
  if (virtualKey == platform::vk::kReturn) {
    const auto* focused = Control(focus_);
    if (focused != nullptr && focused->kind == ControlKind::kMemo) return;  // it takes Enter
    if (focused != nullptr &&
        (focused->kind == ControlKind::kButton || focused->kind == ControlKind::kImageButton)) {
      Click(focus_);
      return;
    }
    for (const auto& c : layout_.controls) {
      if ((c.style & cs::kDefault) != 0) {
        Click(c.id);
        return;
      }
    }
  } else if (virtualKey == platform::vk::kEscape) {
    for (const auto& c : layout_.controls) {
      if ((c.style & cs::kCancel) != 0) {
        Click(c.id);
        return;
      }
    }
    Close(platform::dlgresult::kCancel);
  }
}

void SimDialog::CloseBox() {
  Close(platform::dlgresult::kCancel);
}

void SimDialog::Focus(int id) {
  const auto* control = Control(id);
  if (!closed_ && control != nullptr && Focusable(*control)) focus_ = id;
}

void SimDialog::Type(int id, std::u16string_view text) {
  auto* control = Find(id);
  if (closed_ || control == nullptr || !control->enabled) return;
  if (control->kind == ControlKind::kNumberEdit) {
    std::u16string digits;
    for (const char16_t ch : text) {
      if (ch >= u'0' && ch <= u'9') digits.push_back(ch);
    }
    control->text = digits;
  } else if (control->kind == ControlKind::kMemo || control->kind == ControlKind::kEdit) {
    control->text = text;
  }
}

void SimDialog::Choose(int id, int index) {
  auto* control = Find(id);
  if (closed_ || control == nullptr || !control->enabled) return;
  if (index >= 0 && static_cast<std::size_t>(index) < control->items.size()) {
    control->selection = index;
  }
}

void SimDialog::SetText(int id, std::u16string_view text) {
  if (auto* c = Find(id)) {
    c->text = text;
    AutoSize(*c);
  }
}

std::u16string SimDialog::Text(int id) const {
  const auto* c = Control(id);
  return c == nullptr ? std::u16string() : c->text;
}

void SimDialog::SetEnabled(int id, bool enabled) {
  if (auto* c = Find(id)) c->enabled = enabled;
}

bool SimDialog::IsEnabled(int id) const {
  const auto* c = Control(id);
  return c != nullptr && c->enabled;
}

void SimDialog::SetVisible(int id, bool visible) {
  if (auto* c = Find(id)) c->visible = visible;
}

bool SimDialog::IsVisible(int id) const {
  const auto* c = Control(id);
  return c != nullptr && c->visible;
}

void SimDialog::SetChecked(int id, bool checked) {
  auto* c = Find(id);
  if (c == nullptr) return;
  if (c->kind == ControlKind::kRadio && checked) {
    for (const int other : GroupOf(id)) {
      if (auto* o = Find(other)) o->checked = false;
    }
  }
  c->checked = checked;
}

bool SimDialog::IsChecked(int id) const {
  const auto* c = Control(id);
  return c != nullptr && c->checked;
}

void SimDialog::SetImage(int id, int index) {
  auto* c = Find(id);
  if (c == nullptr) return;
  const bool valid = index >= 0 && static_cast<std::size_t>(index) < layout_.imageList.size();
  c->image = valid ? index : -1;
}

int SimDialog::Image(int id) const {
  const auto* c = Control(id);
  return c == nullptr ? -1 : c->image;
}

void SimDialog::AddItem(int id, std::u16string_view text) {
  if (auto* c = Find(id)) c->items.emplace_back(text);
}

void SimDialog::SetSelection(int id, int index) {
  auto* c = Find(id);
  if (c == nullptr) return;
  c->selection =
      index >= 0 && static_cast<std::size_t>(index) < c->items.size() ? index : -1;  // CB_SETCURSEL
}

int SimDialog::Selection(int id) const {
  const auto* c = Control(id);
  return c == nullptr ? -1 : c->selection;
}

std::size_t SimDialog::ItemCount(int id) const {
  const auto* c = Control(id);
  return c == nullptr ? 0 : c->items.size();
}

platform::LayoutRect SimDialog::Bounds(int id) const {
  const auto* c = Control(id);
  return c == nullptr ? platform::LayoutRect{} : c->bounds;
}

void SimDialog::SetBounds(int id, platform::LayoutRect bounds) {
  if (auto* c = Find(id)) c->bounds = bounds;
}

void SimDialog::SetFocus(int id) {
  const auto* c = Control(id);
  if (c != nullptr && Focusable(*c)) focus_ = id;
}

void SimDialog::MoveTo(std::int32_t left, std::int32_t top) {
  const std::int32_t width = rect_.right - rect_.left;
  const std::int32_t height = rect_.bottom - rect_.top;
  rect_ = {left, top, left + width, top + height};
}

void SimDialog::Close(int result) {
  if (closed_) return;
  closed_ = true;
  result_ = result;
}

}  // namespace qb::sim
