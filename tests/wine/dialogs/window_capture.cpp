#include "window_capture.h"

#include <memory>
#include <type_traits>
#include <vector>

#include "png_file.h"
#include "real_files.h"

namespace qb::winetest::dialogs {
namespace {

struct ScreenDcReleaser {
  void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct DcDeleter {
  void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct ObjectDeleter {
  void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcReleaser>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using GdiObject = std::unique_ptr<void, ObjectDeleter>;

}  // namespace

bool CaptureWindow(HWND window, const std::wstring& path) {
  RECT area{};
  POINT origin{0, 0};
  if (!GetClientRect(window, &area) || !ClientToScreen(window, &origin) || area.right <= 0 ||
      area.bottom <= 0) {
    return false;
  }
  const int width = area.right;
  const int height = area.bottom;

  ScreenDc screen(GetDC(nullptr));
  if (!screen) return false;
  MemoryDc memory(CreateCompatibleDC(screen.get()));
  if (!memory) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return false;
  HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  const bool copied =
      BitBlt(memory.get(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY) != FALSE;
  GdiFlush();
  SelectObject(memory.get(), previous);
  if (!copied) return false;

  // BGRX pixels to RGB.
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  std::vector<std::uint8_t> rgb;
  rgb.reserve(std::size_t(width) * std::size_t(height) * 3);
  for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
    rgb.push_back(pixels[i * 4 + 2]);
    rgb.push_back(pixels[i * 4 + 1]);
    rgb.push_back(pixels[i * 4]);
  }
  const auto png = EncodePng(width, height, rgb);
  return !png.empty() && WriteBytes(path, png);
}

}  // namespace qb::winetest::dialogs
