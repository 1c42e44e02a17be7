#include "util/ev_utils.h"

#include <atomic>
#include <vector>

#include "platform/platform.h"

namespace qb::util {
namespace {

std::atomic<std::uintptr_t> g_wow64RedirectionState{0};

constexpr std::uint32_t kExpandBuffer = 260;

}  // namespace

std::int32_t HalfToEven(std::int64_t n) {
  // floor(n / 2) for negative n as well.
  std::int64_t q = n >= 0 ? n / 2 : -((-n + 1) / 2);
  if (n % 2 != 0 && q % 2 != 0) ++q;  // a half: step to the even neighbour
  return static_cast<std::int32_t>(q);
}

void CenterFormOverWindow(FormBounds& form, platform::Handle wnd) {
  auto& ui = platform::Ui();
  const auto screen = ui.GetVirtualScreen();
  const std::int64_t vx = screen.x;
  const std::int64_t vy = screen.y;
  const std::int64_t vr = vx + screen.cx;
  const std::int64_t vb = vy + screen.cy;
  platform::Rect r;
  if (!ui.GetWindowRect(wnd, r)) {
    // No window to centre over: centre over the whole virtual screen instead.
    r = {static_cast<std::int32_t>(vx), static_cast<std::int32_t>(vy),
         static_cast<std::int32_t>(vr), static_cast<std::int32_t>(vb)};
  }
  std::int64_t left =
      r.left + static_cast<std::int64_t>(HalfToEven(std::int64_t{r.right} - r.left - form.Width));
  std::int64_t top =
      r.top + static_cast<std::int64_t>(HalfToEven(std::int64_t{r.bottom} - r.top - form.Height));
  if (left + form.Width > vr) left = vr - form.Width;
  if (top + form.Height > vb) top = vb - form.Height;
  if (left < vx) left = vx;
  if (top < vy) top = vy;
  form.Left = static_cast<std::int32_t>(left);
  form.Top = static_cast<std::int32_t>(top);
}

std::u16string ExpandEnvVars(std::u16string_view text) {
  auto& system = platform::System();
  std::vector<char16_t> buffer(kExpandBuffer);
  std::uint32_t needed = system.ExpandEnvironmentStrings(text, buffer);
  if (needed > buffer.size()) {
    buffer.resize(needed);
    needed = system.ExpandEnvironmentStrings(text, buffer);
    if (needed > buffer.size()) return {};
  }
  if (needed == 0) return {};
  return std::u16string(buffer.data(), needed - 1);
}

std::uint32_t GetOSMajorVersion() {
  std::uint32_t major = 0;
  if (!platform::System().GetVersionEx(major)) return 0;
  return major;
}

bool IsWow64(platform::Handle process) {
  bool wow64 = false;
  return platform::System().IsWow64Process(process, wow64) == platform::err::kSuccess && wow64;
}

bool DisableWow64Redirection() {
  auto& system = platform::System();
  if (!IsWow64(system.CurrentProcess())) return false;
  std::uintptr_t state = 0;
  if (system.DisableWow64FsRedirection(state) != platform::err::kSuccess) return false;
  g_wow64RedirectionState = state;
  return true;
}

bool RevertWow64Redirection() {
  try {
    auto& system = platform::System();
    if (!IsWow64(system.CurrentProcess())) return false;
    return system.RevertWow64FsRedirection(g_wow64RedirectionState) == platform::err::kSuccess;
  } catch (...) {
    return false;
  }
}

}  // namespace qb::util
