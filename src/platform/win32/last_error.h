// The calling thread's last error as the backend reports it.
#pragma once

#include "platform/types.h"
#include "platform/win32/windows_api.h"

namespace qb::win32 {

// GetLastError after a call that failed; ERROR_GEN_FAILURE when the call failed without
// setting one, so that a failure is never reported as success.
inline platform::ErrorCode LastError() {
  const DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// ERROR_SUCCESS for a call that succeeded, else LastError().
inline platform::ErrorCode Result(BOOL ok) {
  return ok ? ERROR_SUCCESS : LastError();
}

}  // namespace qb::win32
