// What a dialog's layout is measured in: pixels at 96 DPI scaled to the owner window's DPI,
// the dialog's fonts at that scale, and the size of a label's text.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/win32/ui_handles.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

inline constexpr int kLayoutDpi = 96;

// GetDpiForWindow of `owner` where the system has it (looked up at run time), else the
// screen's LOGPIXELSY.
int WindowDpi(HWND owner) noexcept;

class DialogScale {
 public:
  explicit DialogScale(int dpi) noexcept : dpi_(dpi > 0 ? dpi : kLayoutDpi) {}
  int dpi() const noexcept { return dpi_; }
  int ToDevice(int layout) const noexcept { return MulDiv(layout, dpi_, kLayoutDpi); }
  int ToLayout(int device) const noexcept { return MulDiv(device, kLayoutDpi, dpi_); }

 private:
  int dpi_;
};

// "Tahoma" with a cell height of `cellHeight` device pixels, its bold variant, and "Courier
// New" bold of the same height; deleted with the object.
class DialogFonts {
 public:
  explicit DialogFonts(int cellHeight) noexcept;
  // The font for a control's cs:: style flags; nullptr (the system font) when none could be
  // made.
  HFONT For(std::uint32_t style) const noexcept;

 private:
  UniqueFont normal_, bold_, fixed_;
};

// The size of `text` as a static control without word wrap draws it in `font`: a line per
// line break, tabs expanded, prefixes not interpreted; at least one line high.
SIZE MeasureText(HWND window, HFONT font, std::wstring_view text) noexcept;

}  // namespace qb::win32
