#include "wfxhost/dialog_report.h"

#include <algorithm>

#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

using K = platform::ControlKind;

const char* KindName(K kind) {
  switch (kind) {
    case K::kLabel:
      return "label";
    case K::kEdit:
      return "edit";
    case K::kMemo:
      return "memo";
    case K::kButton:
      return "button";
    case K::kImageButton:
      return "image button";
    case K::kRadio:
      return "radio";
    case K::kGroupBox:
      return "group";
    case K::kComboList:
      return "combo";
    case K::kNumberEdit:
      return "number";
    case K::kUpDown:
      return "up-down";
    case K::kTabs:
      return "tabs";
    case K::kIcon:
      return "icon";
    default:
      return "";
  }
}

std::string Quoted(std::u16string_view text) {
  return "\"" + EscapeControls(ToUtf8(text)) + "\"";
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::vector<std::string> DescribeDialog(const sim::SimDialog& dialog) {
  const auto& layout = dialog.layout();
  std::vector<std::string> lines{"dialog " + Quoted(dialog.Caption()) + " (" + ToUtf8(layout.name) +
                                 ", " + std::to_string(layout.clientWidth) + " x " +
                                 std::to_string(layout.clientHeight) + ")"};
  for (const auto& control : layout.controls) {
    if (control.kind == K::kPanel || control.kind == K::kTabPage) continue;
    const auto* state = dialog.Control(control.id);
    if (state == nullptr) continue;
    std::string line = "  " + Padded(ToUtf8(control.name), 19) + Padded(KindName(control.kind), 13);
    if (control.kind == K::kIcon) {
      line += state->image < 0 ? "no image"
                               : ToUtf8(layout.imageList[static_cast<std::size_t>(state->image)]);
    } else if (control.kind == K::kComboList) {
      for (std::size_t i = 0; i < state->items.size(); ++i) {
        line += (i == 0 ? "" : ", ") + Quoted(state->items[i]) +
                (static_cast<int>(i) == state->selection ? " (selected)" : "");
      }
    } else if (control.kind != K::kUpDown) {
      line += Quoted(state->text);
    }
    std::vector<std::string> flags;
    if (control.kind == K::kRadio && state->checked) flags.push_back("checked");
    if (!state->enabled) flags.push_back("disabled");
    if (!state->visible) flags.push_back("hidden");
    for (const auto& flag : flags) line += "  [" + flag + "]";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace qb::wfxhost
