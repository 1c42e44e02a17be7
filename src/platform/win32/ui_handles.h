// Owners for the user-interface objects the backend makes for itself: fonts, brushes, bitmaps,
// icons, image lists, windows and global memory.
#pragma once

#include <memory>
#include <type_traits>

#include "platform/win32/windows_api.h"

namespace qb::win32 {

struct FontDeleter {
  void operator()(HFONT font) const noexcept { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// Brushes and bitmaps the backend makes (not stock objects, not the system's colour brushes).
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

// Icons from LoadImageW without LR_SHARED and from ImageList_GetIcon.
struct IconDestroyer {
  void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct ImageListDestroyer {
  void operator()(HIMAGELIST list) const noexcept { ImageList_Destroy(list); }
};
using UniqueImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDestroyer>;

// Only the thread that made a window may destroy it: the owner lives on that thread.
struct WindowDestroyer {
  void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// Memory from GlobalAlloc that has not been handed over to the system.
struct GlobalFreer {
  void operator()(HGLOBAL memory) const noexcept { GlobalFree(memory); }
};
using UniqueGlobal = std::unique_ptr<void, GlobalFreer>;

}  // namespace qb::win32
