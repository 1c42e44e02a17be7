// System utilities shared by every subsystem: dialog placement, environment expansion, the
// Windows major version and WOW64 file-system redirection.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace qb::util {

// Where a dialog sits on the screen, in screen pixels.
struct FormBounds {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

// Half of `n`, rounded to the nearest integer with halves going to the even neighbour.
std::int32_t HalfToEven(std::int64_t n);

// Centres the form over window `wnd` and keeps it inside the virtual screen (all monitors).
void CenterFormOverWindow(FormBounds& form, platform::Handle wnd);

// Expands %NAME% references. Expansions longer than the 259 characters of the classic buffer
// are expanded again into a buffer of the size the platform reports, so long paths survive.
std::u16string ExpandEnvVars(std::u16string_view text);

// Major version of the running Windows; 0 when the query fails.
std::uint32_t GetOSMajorVersion();

// Whether `process` runs under WOW64; false when that cannot be told.
bool IsWow64(platform::Handle process);

// Switches WOW64 file-system redirection off for the calling thread; true when it was.
// One process-wide slot keeps the saved state until RevertWow64Redirection.
bool DisableWow64Redirection();
bool RevertWow64Redirection();

}  // namespace qb::util
