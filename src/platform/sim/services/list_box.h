// A simulated LISTBOX: the host's file list box, reached only through the messages a real one
// answers, with the documented results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace qb::sim {

class SimListBox {
 public:
  explicit SimListBox(platform::Handle handle) : handle_(handle) {}

  platform::Handle handle() const { return handle_; }

  std::vector<std::u16string> items;
  bool multipleSelection = true;  // LBS_EXTENDEDSEL / LBS_MULTIPLESEL; false: single selection
  std::vector<bool> selected;     // per item; the messages keep it as long as `items`
  int caret = 0;                  // the focus rectangle
  bool refuseCaret = false;       // LB_SETCARETINDEX answers LB_ERR
  std::vector<std::uint32_t> focusMessages;  // WM_SETFOCUS / WM_KILLFOCUS received, in order
  std::size_t messageCount = 0;

  // SendMessageW to the list box.
  std::intptr_t Message(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  // LB_GETTEXT into a buffer of `length` + 1 characters. The real message writes the whole item
  // whatever the buffer holds: an item longer than `length` would overrun the caller's buffer,
  // so that is a fault of the caller and ends the process loudly.
  std::intptr_t Text(std::uint32_t index, std::size_t length, std::u16string& text);

 private:
  bool InRange(std::uintptr_t index) const { return index < items.size(); }

  platform::Handle handle_;
};

}  // namespace qb::sim
