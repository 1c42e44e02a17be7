// The host's main window with its file list box: the plugin's viewer reads and moves the list
// box that has the focus when the host opens an entry.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qb::winetest::dialogs {

class HostWindow {
 public:
  // A visible main window with a list box child: LBS_EXTENDEDSEL or single selection.
  explicit HostWindow(bool multipleSelection);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool created() const { return main_ != nullptr && list_ != nullptr; }
  HWND main() const { return main_; }
  HWND list() const { return list_; }

  // ".." and then `names`, as the host lists a folder.
  void Fill(const std::vector<std::wstring>& names);
  // Activates the main window and focuses the list box; whether it has the focus.
  bool Focus();

 private:
  HWND main_ = nullptr;
  HWND list_ = nullptr;
};

// How long a control on another thread gets to answer a message.
inline constexpr UINT kAnswerTimeoutMs = 5000;

// A list-box message from another thread, answered on the list's thread; LB_ERR when it does
// not answer in time.
LRESULT AskList(HWND list, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// The entries selected in a multiple-selection list box, in order.
std::vector<int> SelectedEntries(HWND list);

}  // namespace qb::winetest::dialogs
