// The Windows backend's dialogs as real windows: places, fonts and picture sizes at the
// screen's DPI, the tab order, radio groups and up-downs driven by the keyboard, the images
// shown, owners disabled while a dialog is up, and the thread's quit message.
#include <stdexcept>
#include <vector>

#include "backend.h"
#include "backend_win32.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"
#include "test_dialog.h"

namespace qb::suite {
namespace {

using platform::LayoutRect;
using win32::FromHandle;
namespace dlgresult = platform::dlgresult;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The window's rectangle in the client coordinates of `dialog`.
RECT PlaceIn(HWND dialog, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Height -1: as the control makes it.
::testing::AssertionResult IsAt(const RECT& r, LayoutRect expected) {
  if (r.left == expected.x && r.top == expected.y && r.right - r.left == expected.width &&
      (expected.height < 0 || r.bottom - r.top == expected.height)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "at " << r.left << "," << r.top << " size "
                                       << r.right - r.left << "x" << r.bottom - r.top;
}

HFONT FontOf(HWND control) {
  return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

int LineHeight(HWND control) {
  HDC screen = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(screen, FontOf(control));
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen, &metrics);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return metrics.tmHeight;
}

// 16 x 16 pixels of `icon` drawn over white.
std::vector<std::uint8_t> Pixels(HICON icon) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<std::uint8_t> pixels;
  if (bitmap != nullptr) {
    const HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const auto* begin = static_cast<const std::uint8_t*>(bits);
    pixels.assign(begin, begin + 16 * 16 * 4);
    SelectObject(dc, old);
    DeleteObject(bitmap);
  }
  DeleteDC(dc);
  return pixels;
}

long Distance(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return -1;
  long sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
  return sum;
}

long DistanceToOwnIcon(HICON shown, const wchar_t* name) {
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  const long distance = Distance(Pixels(shown), Pixels(icon));
  DestroyIcon(icon);
  return distance;
}

std::vector<int> TabOrderFrom(HWND dialog, int from, int steps) {
  std::vector<int> order;
  HWND at = host::ControlOf(dialog, from);
  for (int i = 0; i < steps; ++i) {
    at = GetNextDlgTabItem(dialog, at, FALSE);
    order.push_back(GetDlgCtrlID(at));
  }
  return order;
}

class Win32Dialog : public PlatformTest {
 protected:
  int Run(const platform::DialogLayout& layout, Recorder& recorder,
          std::function<void(Win32DialogUser&)> script) {
    const auto user = backend().ActOnDialog(
        owner_, [&](DialogUser& u) { script(static_cast<Win32DialogUser&>(u)); });
    return ui().RunModalDialog(layout, &TestTexts, owner_, recorder);
  }

  const platform::Handle owner_ = backend().Window({50, 50, 550, 450});
  const HWND ownerWindow_ = FromHandle<HWND>(owner_);
};

TEST_F(Win32Dialog, ControlsAreLaidOutInFontsOfTheScreensDpi) {
  Recorder recorder;
  recorder.create = [](platform::IDialogView& view) {
    view.AddItem(kCombo, u"first");
    view.AddItem(kCombo, u"second");
    view.SetSelection(kCombo, 1);
    view.SetImage(kStatus, 1);
    view.SetText(kInside, u"Inside the group box");
  };
  const int dpi = ScreenDpi();
  Run(TestDialog(), recorder, [&](Win32DialogUser& user) {
    const HWND dialog = user.window();
    auto item = [&](int id) { return host::ControlOf(dialog, id); };
    const struct {
      int id;
      const wchar_t* face;
      LONG weight;
    } fonts[] = {{kInside, L"Tahoma", FW_NORMAL},
                 {kNameLabel, L"Tahoma", FW_BOLD},
                 {kOk, L"Tahoma", FW_NORMAL},
                 {kMemo, L"Courier New", FW_BOLD}};
    for (const auto& f : fonts) {
      LOGFONTW font{};
      ASSERT_NE(GetObjectW(FontOf(item(f.id)), sizeof(font), &font), 0) << f.id;
      EXPECT_EQ(font.lfHeight, 13 * dpi / 96) << f.id;
      EXPECT_EQ(std::wstring(font.lfFaceName), f.face) << f.id;
      EXPECT_EQ(font.lfWeight, f.weight) << f.id;
    }
    // The picture button shows the plugin's icon at the size asked for.
    ICONINFO arrow{};
    const auto image =
        reinterpret_cast<HICON>(SendMessageW(item(kPrevious), BM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(GetIconInfo(image, &arrow));
    BITMAP mask{};
    GetObjectW(arrow.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(mask.bmWidth, 9 * dpi / 96);
    EXPECT_EQ(mask.bmHeight, (arrow.hbmColor != nullptr ? 11 : 22) * dpi / 96);
    DeleteObject(arrow.hbmMask);
    if (arrow.hbmColor != nullptr) DeleteObject(arrow.hbmColor);
    // The icon shows image 1 of the dialog's list.
    const auto shown = reinterpret_cast<HICON>(SendMessageW(item(kStatus), STM_GETICON, 0, 0));
    ASSERT_NE(shown, nullptr);
    EXPECT_LT(DistanceToOwnIcon(shown, L"ERROR"), DistanceToOwnIcon(shown, L"INFORMATION"));
    // What the windows show beyond the view's texts.
    EXPECT_EQ(host::WindowText(item(kCombo)), L"second");
    EXPECT_EQ(SendMessageW(item(kCombo), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(host::WindowText(item(kTabs)), L"Page");
    EXPECT_EQ(host::WindowText(item(kDays)), L"7");  // the up-down's value in its buddy

    if (dpi != 96) {
      GTEST_LOG_(INFO) << "the screen has " << dpi << " DPI: places at 96 DPI not checked";
    } else {
      RECT client{};
      GetClientRect(dialog, &client);
      EXPECT_EQ(client.right, 320);
      EXPECT_EQ(client.bottom, 272);
      const struct {
        int id;
        LayoutRect place;
      } places[] = {
          {kValue, {80, 6, 150, 19}},       {kDays, {100, 60, 30, 19}},
          {kDaysUpDown, {130, 60, 16, 19}}, {kStatus, {240, 8, 16, 16}},
          {kMemo, {230, 30, 80, 60}},       {kPrevious, {95, 205, 40, 25}},
          {kOk, {150, 205, 75, 25}},        {kGroup, {170, 100, 140, 90}},
          {kCombo, {100, 32, 120, -1}},     {kTabs, {8, 100, 150, 90}},
      };
      for (const auto& p : places) EXPECT_TRUE(IsAt(PlaceIn(dialog, item(p.id)), p.place)) << p.id;
      // Inside a group box one line of its font high.
      const RECT inside = PlaceIn(dialog, item(kInside));
      EXPECT_EQ(inside.bottom - inside.top, LineHeight(item(kInside)));
      // On a tab page from the tab control's display area.
      RECT area{0, 0, 150, 90};
      SendMessageW(item(kTabs), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
      const RECT onPage = PlaceIn(dialog, item(kPageLabel));
      EXPECT_GT(area.top, 0);
      EXPECT_EQ(onPage.left, 8 + area.left + 4);
      EXPECT_EQ(onPage.top, 100 + area.top + 4);
    }
    user.CloseBox();
  });
}

TEST_F(Win32Dialog, TheKeyboardMovesThroughTabStopsRadioGroupsAndUpDowns) {
  Recorder recorder;
  const int result = Run(TestDialog(), recorder, [&](Win32DialogUser& user) {
    const HWND dialog = user.window();
    auto item = [&](int id) { return host::ControlOf(dialog, id); };
    // Tab order is layout order, although the tab control sits at the bottom of the z-order;
    // of the radio group only the checked button is visited.
    EXPECT_EQ(GetWindow(item(kValue), GW_HWNDLAST), item(kTabs));
    EXPECT_EQ(TabOrderFrom(dialog, kTabs, 10),
              (std::vector<int>{kValue, kOne, kCombo, kDays, kNested, kOk, kCancel, kMemo,
                                kPrevious, kTabs}));
    // The tab stop moves with the check.
    user.Click(kTwo);
    EXPECT_TRUE(user.Until([&] { return recorder.clickCount == 1; }));
    EXPECT_EQ(GetNextDlgTabItem(dialog, item(kValue), FALSE), item(kTwo));
    EXPECT_EQ(GetWindowLongPtrW(item(kOne), GWL_STYLE) & WS_TABSTOP, 0);
    // The arrow keys move the check within the group, and the tab stop with it.
    PostMessageW(item(kTwo), WM_KEYDOWN, VK_UP, 1);
    EXPECT_TRUE(user.Until([&] { return recorder.clickCount == 2; }));
    EXPECT_TRUE(user.IsChecked(kOne));
    EXPECT_EQ(GetNextDlgTabItem(dialog, item(kValue), FALSE), item(kOne));
    // The up-down steps its buddy's number with the arrow keys.
    PostMessageW(item(kDays), WM_KEYDOWN, VK_UP, 1);
    EXPECT_TRUE(user.Until([&] { return host::WindowText(item(kDays)) == L"8"; }));
    user.PressKey(VK_RETURN);
  });
  EXPECT_EQ(result, dlgresult::kOk);
  EXPECT_EQ(recorder.clicks, (std::vector<int>{kTwo, kOne, kOk}));
  // No key preview asked for.
  EXPECT_TRUE(recorder.keys.empty());
}

TEST_F(Win32Dialog, OwnersAreDisabledWhileADialogIsUp) {
  Recorder outer, inner;
  outer.click = [&](platform::IDialogView& view, int id) {
    if (id == kNested) ui().RunModalDialog(NestedDialog(), &TestTexts, view.Window(), inner);
  };
  Run(TestDialog(), outer, [&](Win32DialogUser& user) {
    EXPECT_FALSE(IsWindowEnabled(ownerWindow_));
    user.ClickOpening(kNested, [&](DialogUser& nested) {
      EXPECT_FALSE(IsWindowEnabled(user.window()));
      nested.CloseBox();
    });
    EXPECT_TRUE(user.Until([&] { return IsWindowEnabled(user.window()) != FALSE; }));
    user.CloseBox();
  });
  EXPECT_TRUE(IsWindowEnabled(ownerWindow_));
}

TEST_F(Win32Dialog, TheThreadsQuitMessageEndsTheDialogAndIsHandedOn) {
  const DWORD runner = GetCurrentThreadId();
  Recorder recorder;
  const int result = Run(TestDialog(), recorder,
                         [&](Win32DialogUser&) { PostThreadMessageW(runner, WM_QUIT, 42, 0); });
  EXPECT_EQ(result, dlgresult::kCancel);
  EXPECT_TRUE(recorder.clicks.empty());
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 42u);
}

// The result a handler closed with before it threw is not taken, and no handler runs again.
TEST_F(Win32Dialog, AHandlerThatThrowsAfterClosingStillCancels) {
  Recorder recorder;
  recorder.click = [](platform::IDialogView& view, int) {
    view.Close(dlgresult::kOk);
    throw std::runtime_error("click");
  };
  const int result = Run(TestDialog(), recorder, [](Win32DialogUser& user) { user.Click(kOk); });
  EXPECT_EQ(result, dlgresult::kCancel);
  EXPECT_EQ(recorder.clicks, std::vector<int>{kOk});
  EXPECT_TRUE(IsWindowEnabled(ownerWindow_));
}

}  // namespace
}  // namespace qb::suite
