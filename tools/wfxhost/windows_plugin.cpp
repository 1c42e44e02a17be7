#include "wfxhost/windows_plugin.h"

#include <fstream>
#include <iterator>

#include "host/windows_exports.h"
#include "wfxhost/text_codec.h"

namespace qb::wfxhost {
namespace {

std::u16string ToU16(const std::wstring& text) {
  return std::u16string(text.begin(), text.end());
}

std::wstring ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message = n != 0 ? std::u16string(text, text + n) : u"";
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                              message.back() == u' ' || message.back() == u'.')) {
    message.pop_back();
  }
  return "error " + std::to_string(code) + (message.empty() ? "" : " (" + ToUtf8(message) + ")");
}

BOOL CALLBACK AddIconName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  auto& list = *reinterpret_cast<std::vector<std::wstring>*>(names);
  if (IS_INTRESOURCE(name)) {
    list.push_back(L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)));
  } else {
    list.emplace_back(name);
  }
  return TRUE;
}

}  // namespace

WindowsPlugin::~WindowsPlugin() {
  // The exports may not be called any more once the module is gone.
  plugin_ = {};
  module_.reset();
}

bool WindowsPlugin::Load(const std::filesystem::path& dll, std::string& error) {
  const std::wstring path = std::filesystem::absolute(dll).wstring();
  module_.reset(LoadLibraryW(path.c_str()));
  if (!module_) {
    error = ToUtf8(ToU16(path)) + ": LoadLibraryW failed: " + SystemErrorText(GetLastError());
    return false;
  }
  const HMODULE module = module_.get();
  // A missing export is a null pointer; the commands that need it say so.
  host::ResolveExports(module, plugin_.api);
  NameIcons();

  auto& env = plugin_.environment;
  env.lastError = [] { return static_cast<std::uint32_t>(GetLastError()); };
  env.iconName = [this](fs::HICON icon) -> std::optional<std::string> {
    const auto it = iconNames_.find(static_cast<HICON>(icon));
    if (it == iconNames_.end()) return std::nullopt;
    return it->second;
  };
  env.destroyIcon = [](fs::HICON icon) { DestroyIcon(static_cast<HICON>(icon)); };
  env.targetsAreHostFiles = true;
  env.copyTarget = [](const std::filesystem::path& hostPath) {
    return ToU16(std::filesystem::absolute(hostPath).wstring());
  };
  env.scratchTarget = [] {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    std::wstring name = n != 0 && n <= MAX_PATH ? std::wstring(folder, n) : L".\\";
    name += L"wfxhost-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(name.c_str());
    return ToU16(name);
  };
  env.readTarget = [](std::u16string_view target) -> std::optional<std::string> {
    std::ifstream in(std::filesystem::path(ToWide(target)), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  env.removeTarget = [](std::u16string_view target) { DeleteFileW(ToWide(target).c_str()); };
  env.takeMessageBoxes = [this] { return watchdog_.Take(); };
  return true;
}

void WindowsPlugin::NameIcons() {
  // LoadIconW hands out one shared handle per icon group of a module: the handle the plugin
  // gets for a group is the one found here.
  std::vector<std::wstring> names;
  EnumResourceNamesW(module_.get(), RT_GROUP_ICON, &AddIconName,
                     reinterpret_cast<LONG_PTR>(&names));
  for (const wchar_t* known : {L"INFORMATION", L"ERROR", L"WARNING", L"AUDIT_SUCCESS",
                               L"AUDIT_FAILED", L"CRITICAL", L"VERBOSE"}) {
    if (std::find(names.begin(), names.end(), known) == names.end()) names.emplace_back(known);
  }
  for (const auto& name : names) {
    const wchar_t* resource =
        name.starts_with(L"#") ? MAKEINTRESOURCEW(std::stoi(name.substr(1))) : name.c_str();
    if (const HICON icon = LoadIconW(module_.get(), resource)) {
      iconNames_.emplace(icon, ToUtf8(ToU16(name)));
    }
  }
}

}  // namespace qb::wfxhost
