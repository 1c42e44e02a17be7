#include "host_window.h"

namespace qb::winetest::dialogs {
namespace {

constexpr wchar_t kClassName[] = L"QbDialogTestHost";
constexpr int kListId = 1001;

bool RegisterHostClass() {
  static const bool registered = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
  }();
  return registered;
}

}  // namespace

HostWindow::HostWindow(bool multipleSelection) {
  if (!RegisterHostClass()) return;
  main_ = CreateWindowExW(0, kClassName, L"Quillerbankton dialog test host",
                          WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 640, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (main_ == nullptr) return;
  const DWORD selection = multipleSelection ? LBS_EXTENDEDSEL : 0;
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_HASSTRINGS |
                              LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | selection,
                          8, 8, 400, 560, main_, reinterpret_cast<HMENU>(kListId),
                          GetModuleHandleW(nullptr), nullptr);
}

HostWindow::~HostWindow() {
  // The list goes with its parent.
  if (main_ != nullptr) DestroyWindow(main_);
}

void HostWindow::Fill(const std::vector<std::wstring>& names) {
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L".."));
  for (const auto& name : names) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
}

bool HostWindow::Focus() {
  ShowWindow(main_, SW_SHOW);
  SetForegroundWindow(main_);
  SetActiveWindow(main_);
  SetFocus(list_);
  return GetFocus() == list_;
}

LRESULT AskList(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(list, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs, &answer)) {
    return LB_ERR;
  }
  return static_cast<LRESULT>(answer);
}

std::vector<int> SelectedEntries(HWND list) {
  std::vector<int> selected;
  const LRESULT count = AskList(list, LB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    if (AskList(list, LB_GETSEL, static_cast<WPARAM>(i)) > 0) selected.push_back(int(i));
  }
  return selected;
}

}  // namespace qb::winetest::dialogs
