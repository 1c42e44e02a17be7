#include "platform/sim/services/list_box.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/ui.h"

namespace qb::sim {

namespace lb = platform::lb;

std::intptr_t SimListBox::Message(std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
  ++messageCount;
  selected.resize(items.size(), false);
  switch (message) {
    case lb::kGetCount:
      return static_cast<std::intptr_t>(items.size());
    case lb::kGetSelCount:
      if (!multipleSelection) return lb::kErr;
      return std::count(selected.begin(), selected.end(), true);
    case lb::kGetCaretIndex:
      if (!multipleSelection) {
        const auto it = std::find(selected.begin(), selected.end(), true);
        if (it != selected.end()) return it - selected.begin();
      }
      return caret;
    case lb::kSetCaretIndex:
      if (!InRange(wParam) || refuseCaret) return lb::kErr;
      caret = static_cast<int>(wParam);
      return 0;
    case lb::kSetSel: {
      if (!multipleSelection) return lb::kErr;
      const bool select = wParam != 0;
      if (lParam == -1) {
        std::fill(selected.begin(), selected.end(), select);
        return 0;
      }
      if (lParam < 0 || !InRange(static_cast<std::uintptr_t>(lParam))) return lb::kErr;
      selected[static_cast<std::size_t>(lParam)] = select;
      return 0;
    }
    case lb::kGetTextLen:
      if (!InRange(wParam)) return lb::kErr;
      return static_cast<std::intptr_t>(items[wParam].size());
    case platform::kWmSetFocus:
    case platform::kWmKillFocus:
      focusMessages.push_back(message);
      return 0;
    default:
      return 0;
  }
}

std::intptr_t SimListBox::Text(std::uint32_t index, std::size_t length, std::u16string& text) {
  ++messageCount;
  text.clear();
  if (!InRange(index)) return lb::kErr;
  if (items[index].size() > length) {
    std::fputs("sim: LB_GETTEXT into a buffer too small for the item\n", stderr);
    std::abort();
  }
  text = items[index];
  return static_cast<std::intptr_t>(text.size());
}

}  // namespace qb::sim
