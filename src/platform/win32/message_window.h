// The hidden message-only window of IUserInterface::CreateMessageWindow.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace qb::win32 {

// Nullptr when the window class or the window cannot be created.
std::unique_ptr<platform::IMessageWindow> CreateMessageWindow(platform::MessageProc proc);

// Before the library's code goes away: destroys the message windows of the calling thread,
// hands those of other threads to the system's default procedure, and unregisters the
// window class. Window objects still held afterwards no longer own a window.
void ReleaseMessageWindows() noexcept;

}  // namespace qb::win32
