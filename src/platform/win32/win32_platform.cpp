#include "platform/win32/win32_platform.h"

namespace qb::win32 {

Win32Platform::Win32Platform() noexcept
    : platform_{&registry_, &system_,   &locale_,   &ui_,
                &modules_,  &eventlog_, &accounts_, &channels_} {}

}  // namespace qb::win32
