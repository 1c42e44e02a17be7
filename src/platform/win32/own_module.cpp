#include "platform/win32/own_module.h"

#include <atomic>

namespace qb::win32 {
namespace {

std::atomic<HMODULE> g_ownModule{nullptr};

HMODULE ModuleOfThisCode() noexcept {
  HMODULE module = nullptr;
  const auto address = reinterpret_cast<LPCWSTR>(&ModuleOfThisCode);
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          address, &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

void SetOwnModule(HMODULE module) noexcept {
  g_ownModule.store(module);
}

HMODULE OwnModule() noexcept {
  HMODULE module = g_ownModule.load();
  if (module == nullptr) {
    module = ModuleOfThisCode();
    g_ownModule.store(module);
  }
  return module;
}

}  // namespace qb::win32
