// The dialogs on a screen of 144 DPI, in a process of its own that Wine starts with that
// setting and that says it is DPI aware: the client areas, places and sizes of the layouts and
// the fonts are those at 96 DPI times 1.5.
#include "dialog_test.h"
#include "dialogs/log_properties.h"
#include "dialogs/record_viewer.h"
#include "dialogs/settings_dialog.h"
#include "host_window.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

constexpr int kHighDpi = 144;

struct Place {
  int id;
  int x, y, width, height;  // at 96 DPI; 0 for a width or height the control makes itself
};

struct Layout {
  const char* name;
  std::wstring remote;
  const wchar_t* verb;
  int clientWidth, clientHeight;
  std::vector<Place> places;
  int textControl;  // whose font is checked
};

int Scaled(int layout) {
  return MulDiv(layout, kHighDpi, 96);
}

// Rounding may differ by a pixel where places add up (a control inside a group box).
bool Near(LONG device, int layout) {
  return device >= Scaled(layout) - 1 && device <= Scaled(layout) + 1;
}

std::string CheckLayout(HWND dialog, const Layout& layout) {
  std::string out;
  RECT client{};
  GetClientRect(dialog, &client);
  if (client.right != Scaled(layout.clientWidth) || client.bottom != Scaled(layout.clientHeight)) {
    out += " client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom);
  }
  for (const Place& place : layout.places) {
    HWND control = User::Control(dialog, place.id);
    RECT r{};
    if (control == nullptr || !GetWindowRect(control, &r)) {
      out += " no control " + std::to_string(place.id);
      continue;
    }
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    if (!Near(r.left, place.x) || !Near(r.top, place.y) ||
        (place.width != 0 && !Near(r.right - r.left, place.width)) ||
        (place.height != 0 && !Near(r.bottom - r.top, place.height))) {
      out += " control " + std::to_string(place.id) + " at " + std::to_string(r.left) + ", " +
             std::to_string(r.top) + ", " + std::to_string(r.right - r.left) + " x " +
             std::to_string(r.bottom - r.top);
    }
  }
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(
      SendMessageW(User::Control(dialog, layout.textControl), WM_GETFONT, 0, 0));
  if (GetObjectW(handle, sizeof(font), &font) == 0 || font.lfHeight != Scaled(13)) {
    out += " font height " + std::to_string(font.lfHeight);
  }
  return out;
}

}  // namespace

void CheckHighDpi(Fixture& fixture) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (!Check(dpi == kHighDpi, "the screen has 144 DPI (it has " + std::to_string(dpi) + ")")) {
    return;
  }
  const auto names = ListNames(fixture, std::wstring(L"\\") + kLog);
  if (!Check(!names.empty(), "the log lists its records")) return;
  HostWindow host(true);
  if (!Check(host.created(), "the host window is made at 144 DPI")) return;
  host.Fill(names);
  SendMessageW(host.list(), LB_SETCARETINDEX, 1, FALSE);
  host.Focus();

  namespace v = qb::viewer;
  namespace p = qb::props;
  namespace s = qb::settings;
  const Layout layouts[] = {
      {"the viewer",
       std::wstring(L"\\") + kLog + L"\\" + names[0],
       L"open",
       490,
       468,
       {{v::pcEvent, 8, 8, 474, 419}, {v::btnOK, 407, 433, 75, 25}},
       v::lblType},
      {"the log properties",
       std::wstring(L"\\") + kLog,
       L"properties",
       550,
       360,
       {{p::LogFileLabel, 140, 9, 397, 19},
        {p::cMaxSizeLabel, 24, 189, 0, 0},
        {p::Button1, 13, 323, 170, 25},
        {p::OKBtn, 379, 323, 75, 25}},
       p::cLogFileLabel},
      {"the settings",
       L"\\",
       L"properties",
       290,
       128,
       {{s::Label1, 12, 28, 0, 0},
        {s::ComboBox1, 117, 25, 161, 0},
        {s::Button1, 58, 84, 80, 25},
        {s::Button2, 152, 84, 80, 25}},
       s::Label1},
  };
  for (const Layout& layout : layouts) {
    const std::string name = layout.name;
    RunSession(fixture, host.main(), layout.remote, layout.verb, [&](User& user) {
      HWND dialog = user.WaitForDialog(host.main());
      if (!Check(dialog != nullptr, name + " open at 144 DPI")) return;
      const std::string problem = CheckLayout(dialog, layout);
      Check(problem.empty(),
            name + ": the client area, the places and the font are 1.5 times those at 96 DPI" +
                problem);
      Check(user.WaitForFocusIn(dialog), name + " take the keyboard focus");
      user.Press(VK_ESCAPE);
      Check(user.WaitGone(dialog), "Esc closes " + name);
    });
  }
}

}  // namespace qb::winetest::dialogs
