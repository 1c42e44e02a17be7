// Modal dialogs of standard controls, run for real while a second thread acts as the user:
// places at 96 DPI, texts as screen readers read them, the keys and buttons that end a dialog,
// key preview, radio groups, the up-down's buddy, a kIcon's image, nested dialogs and handlers
// that throw.
#include <atomic>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "check.h"
#include "dialog_user.h"
#include "platform/win32/handles.h"
#include "platform/win32/ui.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

// The specs name only the fields a control needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qb::wine_test {
namespace {

using platform::ControlKind;
using platform::LayoutRect;
namespace cs = platform::cs;
namespace dlgresult = platform::dlgresult;

enum : int {
  kTabs = 100,
  kPage,
  kPageLabel,
  kNameLabel,
  kValue,
  kOne,
  kTwo,
  kCombo,
  kDays,
  kDaysUpDown,
  kStatus,
  kGroup,
  kInside,
  kNested,
  kOk,
  kCancel,
  kMemo,
  kPrevious
};

// clang-format off
constexpr platform::ControlSpec kControls[] = {
    {.id = kTabs, .kind = ControlKind::kTabs, .x = 8, .y = 100, .width = 150, .height = 90,
     .text = u"Page"},
    {.id = kPage, .kind = ControlKind::kTabPage, .parent = kTabs},
    {.id = kPageLabel, .kind = ControlKind::kLabel, .parent = kPage, .x = 4, .y = 4,
     .text = u"On the page"},
    {.id = kNameLabel, .kind = ControlKind::kLabel, .x = 8, .y = 8, .textId = 1,
     .style = cs::kBold},
    {.id = kValue, .kind = ControlKind::kEdit, .x = 80, .y = 6, .width = 150, .height = 19},
    {.id = kOne, .kind = ControlKind::kRadio, .x = 8, .y = 32, .width = 80, .height = 17,
     .text = u"One", .style = cs::kGroupStart | cs::kChecked},
    {.id = kTwo, .kind = ControlKind::kRadio, .x = 8, .y = 50, .width = 80, .height = 17,
     .text = u"Two"},
    {.id = kCombo, .kind = ControlKind::kComboList, .x = 100, .y = 32, .width = 120,
     .height = 21, .style = cs::kFocus},
    {.id = kDays, .kind = ControlKind::kNumberEdit, .x = 100, .y = 60, .width = 30, .height = 19},
    {.id = kDaysUpDown, .kind = ControlKind::kUpDown, .x = 130, .y = 60, .width = 16,
     .height = 19, .min = 0, .max = 100, .value = 7},
    {.id = kStatus, .kind = ControlKind::kIcon, .x = 240, .y = 8},
    {.id = kGroup, .kind = ControlKind::kGroupBox, .x = 170, .y = 100, .width = 140,
     .height = 90, .text = u"Group"},
    {.id = kInside, .kind = ControlKind::kLabel, .parent = kGroup, .x = 10, .y = 20,
     .text = u"Inside"},
    {.id = kNested, .kind = ControlKind::kButton, .x = 8, .y = 205, .width = 75, .height = 25,
     .text = u"Nested"},
    {.id = kOk, .kind = ControlKind::kButton, .x = 150, .y = 205, .width = 75, .height = 25,
     .text = u"OK", .style = cs::kDefault, .modalResult = dlgresult::kOk},
    {.id = kCancel, .kind = ControlKind::kButton, .x = 235, .y = 205, .width = 75, .height = 25,
     .text = u"Cancel", .style = cs::kCancel, .modalResult = dlgresult::kCancel},
    {.id = kMemo, .kind = ControlKind::kMemo, .x = 230, .y = 30, .width = 80, .height = 60,
     .text = u"Line 1\r\nLine 2", .style = cs::kFixedFont},
    {.id = kPrevious, .kind = ControlKind::kImageButton, .x = 95, .y = 205, .width = 40,
     .height = 25, .text = u"Previous record", .image = u"ARROWUP", .imageWidth = 9,
     .imageHeight = 11},
};
// Nothing to click or focus: Esc alone ends it.
constexpr platform::ControlSpec kNestedControls[] = {
    {.id = 100, .kind = ControlKind::kLabel, .x = 8, .y = 8, .text = u"Nested"},
};
// clang-format on
constexpr const char16_t* kImages[] = {u"INFORMATION", u"ERROR"};

platform::DialogSpec MainSpec(bool keyPreview = false) {
  return platform::DialogSpec{.name = u"Test",
                              .clientWidth = 320,
                              .clientHeight = 240,
                              .captionId = 2,
                              .keyPreview = keyPreview,
                              .controls = kControls,
                              .imageList = kImages};
}

std::u16string Texts(std::uint16_t id) {
  return id == 1 ? u"&Name:" : id == 2 ? u"Test dialog" : u"?";
}

// Records what the dialog did; the counters are read by the user's thread.
struct Recorder final : platform::IDialogController {
  std::function<void(platform::IDialogView&)> create;
  std::function<void(platform::IDialogView&, int)> click;
  std::function<bool(platform::IDialogView&, std::uint32_t)> key;
  std::vector<std::string> events;
  std::vector<int> clicks;
  std::vector<std::uint32_t> keys;
  std::atomic<int> activations{0}, clickCount{0}, keyCount{0};

  void OnCreate(platform::IDialogView& view) override {
    events.push_back("create");
    if (create) create(view);
  }
  void OnActivate(platform::IDialogView&) override {
    events.push_back("activate");
    ++activations;
  }
  void OnClick(platform::IDialogView& view, int id) override {
    clicks.push_back(id);
    if (click) click(view, id);
    ++clickCount;
  }
  bool OnKeyDown(platform::IDialogView& view, std::uint32_t k) override {
    keys.push_back(k);
    const bool handled = key && key(view, k);
    ++keyCount;
    return handled;
  }
};

class OwnerWindow {
 public:
  OwnerWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                500, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
  ~OwnerWindow() { DestroyWindow(window_); }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// Runs `spec` owned by `owner` while `script` acts on the dialog it finds.
int Run(const platform::DialogSpec& spec, HWND owner, Recorder& recorder,
        const std::function<void(HWND)>& script) {
  win32::Win32UserInterface ui;
  std::atomic<HWND> dialog{nullptr};
  return RunWithUser(
      [&] { return ui.RunModalDialog(spec, &Texts, win32::ToHandle(owner), recorder); },
      [&] {
        dialog = FindDialog(owner);
        if (QB_CHECK(dialog.load() != nullptr)) script(dialog);
      },
      [&] { return dialog.load(); });
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

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

bool Is(const RECT& r, LayoutRect expected) {
  return r.left == expected.x && r.top == expected.y && r.right - r.left == expected.width &&
         (expected.height < 0 || r.bottom - r.top == expected.height);
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

void Fonts(HWND dialog) {
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
    const bool ok = GetObjectW(FontOf(GetDlgItem(dialog, f.id)), sizeof(font), &font) != 0 &&
                    font.lfHeight == 13 * ScreenDpi() / 96 &&
                    std::wstring(font.lfFaceName) == f.face && font.lfWeight == f.weight;
    if (!QB_CHECK(ok)) std::printf("  font of %d\n", f.id);
  }
}

void LayoutAndTexts(HWND dialog) {
  Fonts(dialog);
  auto item = [&](int id) { return GetDlgItem(dialog, id); };
  if (ScreenDpi() == 96) {
    RECT client{};
    GetClientRect(dialog, &client);
    QB_CHECK(client.right == 320 && client.bottom == 240);
    const struct {
      int id;
      LayoutRect place;  // height -1: as the control makes it
    } places[] = {
        {kValue, {80, 6, 150, 19}},       {kDays, {100, 60, 30, 19}},
        {kDaysUpDown, {130, 60, 16, 19}}, {kStatus, {240, 8, 16, 16}},
        {kMemo, {230, 30, 80, 60}},       {kPrevious, {95, 205, 40, 25}},
        {kOk, {150, 205, 75, 25}},        {kGroup, {170, 100, 140, 90}},
        {kCombo, {100, 32, 120, -1}},     {kTabs, {8, 100, 150, 90}},
    };
    for (const auto& p : places) {
      if (!QB_CHECK(Is(PlaceIn(dialog, item(p.id)), p.place))) std::printf("  control %d\n", p.id);
    }
    // Inside a group box from its corner, one line of its font high.
    const RECT inside = PlaceIn(dialog, item(kInside));
    QB_CHECK(inside.left == 180 && inside.top == 120 &&
             inside.bottom - inside.top == LineHeight(item(kInside)));
    // On a tab page from the tab control's display area.
    RECT area{0, 0, 150, 90};
    SendMessageW(item(kTabs), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const RECT onPage = PlaceIn(dialog, item(kPageLabel));
    QB_CHECK(area.top > 0 && onPage.left == 8 + area.left + 4 && onPage.top == 100 + area.top + 4);
  } else {
    std::printf("INFO: the screen has %d DPI: places at 96 DPI not checked\n", ScreenDpi());
  }
  const struct {
    HWND window;
    const wchar_t* text;
  } texts[] = {
      {dialog, L"Test dialog"},
      {item(kNameLabel), L"&Name:"},
      {item(kValue), L"value & more"},
      {item(kCombo), L"second"},
      {item(kDays), L"7"},
      {item(kTabs), L"Page"},
      {item(kInside), L"Inside the group box"},
      {item(kMemo), L"Line 1\r\nLine 2"},
      {item(kPrevious), L"Previous record"},  // the accessible name of a picture button
  };
  for (const auto& t : texts) {
    if (!QB_CHECK(TextOf(t.window) == t.text)) std::printf("  text %ls\n", t.text);
  }
  QB_CHECK(SendMessageW(item(kCombo), CB_GETCOUNT, 0, 0) == 2);
  QB_CHECK(FocusOf(dialog) == item(kCombo));
  // Tab order is spec order, although the tab control sits at the bottom of the z-order.
  QB_CHECK(GetWindow(item(kValue), GW_HWNDLAST) == item(kTabs));
  // Of the radio group only the checked button is visited.
  std::vector<int> order;
  HWND at = item(kTabs);
  for (int i = 0; i < 10; ++i) {
    at = GetNextDlgTabItem(dialog, at, FALSE);
    order.push_back(GetDlgCtrlID(at));
  }
  QB_CHECK((order == std::vector<int>{kValue, kOne, kCombo, kDays, kNested, kOk, kCancel, kMemo,
                                      kPrevious, kTabs}));
  // The picture button shows the plugin's icon at the size asked for.
  ICONINFO arrow{};
  const auto image =
      reinterpret_cast<HICON>(SendMessageW(item(kPrevious), BM_GETIMAGE, IMAGE_ICON, 0));
  BITMAP mask{};
  if (QB_CHECK(image != nullptr && GetIconInfo(image, &arrow))) {
    GetObjectW(arrow.hbmMask, sizeof(mask), &mask);
    QB_CHECK(mask.bmWidth == 9 * ScreenDpi() / 96 &&
             mask.bmHeight == (arrow.hbmColor != nullptr ? 11 : 22) * ScreenDpi() / 96);
    DeleteObject(arrow.hbmMask);
    if (arrow.hbmColor != nullptr) DeleteObject(arrow.hbmColor);
  }
  const auto shown = reinterpret_cast<HICON>(SendMessageW(item(kStatus), STM_GETICON, 0, 0));
  QB_CHECK(shown != nullptr &&
           DistanceToOwnIcon(shown, L"ERROR") < DistanceToOwnIcon(shown, L"INFORMATION"));
}

void MainDialog(HWND owner) {
  Recorder recorder;
  LayoutRect before, after, ok, moved;
  int selection = -2, image = -2;
  recorder.create = [&](platform::IDialogView& view) {
    view.SetText(kValue, u"value & more");
    view.AddItem(kCombo, u"first");
    view.AddItem(kCombo, u"second");
    view.SetSelection(kCombo, 1);
    view.SetImage(kStatus, 1);
    before = view.Bounds(kInside);
    view.SetText(kInside, u"Inside the group box");
    after = view.Bounds(kInside);
    ok = view.Bounds(kOk);
    view.SetBounds(kNested, {8, 205, 70, 25});
    moved = view.Bounds(kNested);
    selection = view.Selection(kCombo);
    image = view.Image(kStatus);
  };
  const int result = Run(MainSpec(), owner, recorder, [&](HWND dialog) {
    QB_CHECK(!IsWindowEnabled(owner));
    LayoutAndTexts(dialog);
    // The radio buttons form a group of their own: clicking one unchecks the other.
    PostMessageW(GetDlgItem(dialog, kTwo), BM_CLICK, 0, 0);
    QB_CHECK(WaitFor([&] { return recorder.clickCount == 1; }));
    QB_CHECK(SendMessageW(GetDlgItem(dialog, kTwo), BM_GETCHECK, 0, 0) == BST_CHECKED);
    QB_CHECK(SendMessageW(GetDlgItem(dialog, kOne), BM_GETCHECK, 0, 0) == BST_UNCHECKED);
    // The tab stop moves with the check.
    QB_CHECK(GetNextDlgTabItem(dialog, GetDlgItem(dialog, kValue), FALSE) ==
             GetDlgItem(dialog, kTwo));
    QB_CHECK((GetWindowLongPtrW(GetDlgItem(dialog, kOne), GWL_STYLE) & WS_TABSTOP) == 0);
    // The arrow keys move the check within the group, and the tab stop with it.
    PostMessageW(GetDlgItem(dialog, kTwo), WM_KEYDOWN, VK_UP, 1);
    QB_CHECK(WaitFor([&] { return recorder.clickCount == 2; }));
    QB_CHECK(SendMessageW(GetDlgItem(dialog, kOne), BM_GETCHECK, 0, 0) == BST_CHECKED);
    QB_CHECK(GetNextDlgTabItem(dialog, GetDlgItem(dialog, kValue), FALSE) ==
             GetDlgItem(dialog, kOne));
    // The up-down steps its buddy's number with the arrow keys.
    PostMessageW(GetDlgItem(dialog, kDays), WM_KEYDOWN, VK_UP, 1);
    QB_CHECK(WaitFor([&] { return TextOf(GetDlgItem(dialog, kDays)) == L"8"; }));
    // Enter presses the default button, whichever control has the focus.
    PressKey(dialog, VK_RETURN);
  });
  QB_CHECK(result == dlgresult::kOk);
  QB_CHECK((recorder.clicks == std::vector<int>{kTwo, kOne, kOk}));
  QB_CHECK(recorder.keys.empty());  // no key preview asked for
  QB_CHECK(recorder.events.size() >= 2 && recorder.events[0] == "create" &&
           recorder.events[1] == "activate");
  QB_CHECK(IsWindowEnabled(owner));
  // A label sized to its text follows a new text; places come back as laid out.
  QB_CHECK(after.x == before.x && after.y == before.y && after.height == before.height &&
           after.width > before.width);
  if (ScreenDpi() == 96) {
    QB_CHECK((ok == LayoutRect{150, 205, 75, 25}));
    QB_CHECK((moved == LayoutRect{8, 205, 70, 25}));
  }
  QB_CHECK(selection == 1 && image == 1);
}

void DialogEndings(HWND owner) {
  const DWORD runner = GetCurrentThreadId();
  const struct {
    const char* what;
    bool keyPreview;
    std::function<void(HWND, Recorder&)> act;
    int result;
    std::vector<int> clicks;
    std::vector<std::uint32_t> keys;
    int focus = 0;  // set by OnCreate, before the dialog is shown
  } endings[] = {
      {"Esc clicks the cancel button",
       false,
       [](HWND d, Recorder&) { PressKey(d, VK_ESCAPE); },
       dlgresult::kCancel,
       {kCancel},
       {}},
      {"the close box clicks nothing",
       false,
       [](HWND d, Recorder&) { PostMessageW(d, WM_CLOSE, 0, 0); },
       dlgresult::kCancel,
       {},
       {}},
      {"a button without a result leaves the dialog open",
       false,
       [](HWND d, Recorder& r) {
         PostClick(d, kNested);
         WaitFor([&] { return r.clickCount == 1; });
         PostClick(d, kOk);
       },
       dlgresult::kOk,
       {kNested, kOk},
       {}},
      {"a key the preview handles goes no further",
       true,
       [](HWND d, Recorder& r) {
         PressKey(d, VK_NEXT);
         WaitFor([&] { return r.keyCount == 1; });
         PressKey(d, VK_RETURN);
       },
       dlgresult::kOk,
       {kOk},
       {VK_NEXT, VK_RETURN}},
      {"Enter stays in a memo, Esc there cancels",
       false,
       [](HWND d, Recorder&) {
         QB_CHECK(FocusOf(d) == GetDlgItem(d, kMemo));
         PressKey(d, VK_RETURN);
         Sleep(200);
         PressKey(d, VK_ESCAPE);
       },
       dlgresult::kCancel,
       {kCancel},
       {},
       kMemo},
      {"WM_QUIT ends the dialog",
       false,
       [runner](HWND, Recorder&) { PostThreadMessageW(runner, WM_QUIT, 42, 0); },
       dlgresult::kCancel,
       {},
       {}},
  };
  for (const auto& ending : endings) {
    Recorder recorder;
    recorder.key = [](platform::IDialogView&, std::uint32_t key) { return key == VK_NEXT; };
    recorder.create = [&](platform::IDialogView& view) {
      if (ending.focus != 0) view.SetFocus(ending.focus);
    };
    const int result = Run(MainSpec(ending.keyPreview), owner, recorder,
                           [&](HWND dialog) { ending.act(dialog, recorder); });
    const bool ok = QB_CHECK(result == ending.result) &&
                    QB_CHECK(recorder.clicks == ending.clicks) &&
                    QB_CHECK(recorder.keys == ending.keys);
    if (!ok) std::printf("  when %s\n", ending.what);
  }
  // The loop handed the quit message on to this thread's own loop.
  MSG msg{};
  QB_CHECK(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 42);
}

void NestedDialog(HWND owner) {
  win32::Win32UserInterface ui;
  const platform::DialogSpec nested{
      .name = u"Nested", .clientWidth = 200, .clientHeight = 80, .controls = kNestedControls};
  Recorder outer, inner;
  int nestedResult = -1;
  outer.click = [&](platform::IDialogView& view, int id) {
    if (id == kNested) nestedResult = ui.RunModalDialog(nested, &Texts, view.Window(), inner);
  };
  const int result = Run(MainSpec(), owner, outer, [&](HWND dialog) {
    const int activations = outer.activations;
    PostClick(dialog, kNested);
    HWND second = FindDialog(dialog);
    if (!QB_CHECK(second != nullptr)) return;
    QB_CHECK(!IsWindowEnabled(dialog));
    // No cancel button and no control to focus: Esc closes with kCancel.
    PressKey(second, VK_ESCAPE);
    QB_CHECK(WaitFor([&] { return !IsWindow(second); }));
    // Back in front, the first dialog is told so.
    QB_CHECK(WaitFor([&] { return outer.activations > activations; }));
    QB_CHECK(IsWindowEnabled(dialog));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  QB_CHECK(nestedResult == dlgresult::kCancel);
  QB_CHECK(result == dlgresult::kCancel);
  QB_CHECK(inner.events.size() >= 2);
}

void ThrowingHandlers(HWND owner) {
  {
    Recorder recorder;
    recorder.create = [](platform::IDialogView&) { throw std::runtime_error("create"); };
    win32::Win32UserInterface ui;
    // Never shown: no user needed.
    QB_CHECK(ui.RunModalDialog(MainSpec(), &Texts, win32::ToHandle(owner), recorder) ==
             dlgresult::kCancel);
    QB_CHECK(recorder.events == std::vector<std::string>{"create"});
  }
  Recorder recorder;
  recorder.click = [](platform::IDialogView& view, int) {
    view.Close(dlgresult::kOk);
    throw std::runtime_error("click");
  };
  // The OK button's own result is not taken either.
  const int result = Run(MainSpec(), owner, recorder, [](HWND d) { PostClick(d, kOk); });
  QB_CHECK(result == dlgresult::kCancel);
  QB_CHECK(recorder.clicks == std::vector<int>{kOk});
  QB_CHECK(IsWindowEnabled(owner));
}

}  // namespace

void DialogChecks() {
  OwnerWindow owner;
  if (!QB_CHECK(owner.get() != nullptr)) return;
  MainDialog(owner.get());
  DialogEndings(owner.get());
  NestedDialog(owner.get());
  ThrowingHandlers(owner.get());
}

}  // namespace qb::wine_test
