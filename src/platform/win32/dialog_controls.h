// The standard control that stands for each kind of dialog control, and its styles.
#pragma once

#include "platform/dialog.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

struct ControlClass {
  const wchar_t* name = nullptr;  // nullptr: the kind makes no window
  DWORD style = 0;                // WS_CHILD and the initial state included, WS_GROUP not
  DWORD exStyle = 0;
};

ControlClass ClassOf(const platform::ControlLayout& layout) noexcept;

// Kinds that take the keyboard focus and so get WS_TABSTOP.
bool IsFocusable(platform::ControlKind kind) noexcept;

// Kinds whose BN_CLICKED reaches the controller.
bool IsClickable(platform::ControlKind kind) noexcept;

}  // namespace qb::win32
