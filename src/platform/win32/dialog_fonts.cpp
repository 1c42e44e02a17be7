#include "platform/win32/dialog_fonts.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include "platform/dialog.h"
#include "platform/win32/system_procs.h"

namespace qb::win32 {
namespace {

UniqueFont MakeFont(const wchar_t* face, int cellHeight, LONG weight) noexcept {
  LOGFONTW font{};
  font.lfHeight = cellHeight;  // positive: the cell height, not the character height
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace

int WindowDpi(HWND owner) noexcept {
  // Windows 10 1607 and later; the backend declares only the XP API.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  if (owner != nullptr) {
    if (const auto forWindow = SystemProc<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow")) {
      const UINT dpi = forWindow(owner);
      if (dpi != 0) return static_cast<int>(dpi);
    }
  }
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kLayoutDpi;
}

DialogFonts::DialogFonts(int cellHeight) noexcept
    : normal_(MakeFont(L"Tahoma", cellHeight, FW_NORMAL)),
      bold_(MakeFont(L"Tahoma", cellHeight, FW_BOLD)),
      fixed_(MakeFont(L"Courier New", cellHeight, FW_BOLD)) {}

HFONT DialogFonts::For(std::uint32_t style) const noexcept {
  HFONT font = nullptr;
  if ((style & platform::cs::kFixedFont) != 0) {
    font = fixed_.get();
  } else if ((style & platform::cs::kBold) != 0) {
    font = bold_.get();
  }
  return font != nullptr ? font : normal_.get();
}

SIZE MeasureText(HWND window, HFONT font, std::wstring_view text) noexcept {
  SIZE size{0, 0};
  HDC dc = GetDC(window);
  if (dc == nullptr) return size;
  const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  RECT box{0, 0, 0, 0};
  if (!text.empty()) {
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    DrawTextW(dc, text.data(), length, &box, DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);
  }
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(window, dc);
  size.cx = box.right - box.left;
  size.cy = std::max<LONG>(box.bottom - box.top, metrics.tmHeight);
  return size;
}

}  // namespace qb::win32
