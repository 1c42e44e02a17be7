#include "plugin_test_exports.h"

namespace qb::winetest {
namespace {

template <class Function>
void Find(HMODULE module, const char* name, Function& function, std::vector<std::string>& missing) {
  const FARPROC proc = GetProcAddress(module, name);
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
  if (proc == nullptr) missing.emplace_back(name);
}

}  // namespace

std::vector<std::string> PluginExports::Resolve(HMODULE module) {
  std::vector<std::string> missing;
  Find(module, "FsInitW", initW, missing);
  Find(module, "FsFindFirstW", findFirstW, missing);
  Find(module, "FsFindNextW", findNextW, missing);
  Find(module, "FsFindClose", findClose, missing);
  Find(module, "FsGetFileW", getFileW, missing);
  Find(module, "FsExtractCustomIconW", extractCustomIconW, missing);
  Find(module, "FsContentGetSupportedField", contentGetSupportedField, missing);
  Find(module, "FsContentGetValueW", contentGetValueW, missing);
  return missing;
}

}  // namespace qb::winetest
