#include "platform/win32/modules.h"
#include "platform/win32/last_error.h"

#include <algorithm>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/own_module.h"
#include "platform/win32/wide.h"

namespace qb::win32 {
namespace {

using platform::ErrorCode;

// Language 0x400: the user's default language, with the system's fallbacks.
constexpr DWORD kUserDefaultLanguage = 0x400;

// A message can name inserts %1 to %99.
constexpr std::size_t kMaxInserts = 99;

// Runs FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER and takes over its buffer.
ErrorCode CallFormatMessage(DWORD flags, const void* source, DWORD id, DWORD language,
                            va_list* arguments, std::u16string& text) {
  text.clear();
  wchar_t* raw = nullptr;
  const DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, source, id, language,
                                      reinterpret_cast<wchar_t*>(&raw), 0, arguments);
  UniqueLocalWide buffer(raw);
  if (length == 0 || raw == nullptr) return LastError();
  text = FromWide(raw, length);
  return ERROR_SUCCESS;
}

}  // namespace

platform::Handle Win32Modules::LoadLibrary(std::u16string_view path, ErrorCode& error) {
  const std::wstring name = Terminated(path);
  HMODULE module = LoadLibraryW(name.c_str());
  error = module == nullptr ? LastError() : ERROR_SUCCESS;
  return ToHandle(module);
}

platform::Handle Win32Modules::LoadLibraryAsDataFile(std::u16string_view path, ErrorCode& error) {
  const std::wstring name = Terminated(path);
  // As an image resource too (Vista and later), which also maps a library of the other
  // bitness; Windows XP knows only the data file and refuses the flag.
  HMODULE module = LoadLibraryExW(name.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    module = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  error = module == nullptr ? LastError() : ERROR_SUCCESS;
  return ToHandle(module);
}

platform::Handle Win32Modules::GetModuleHandle(std::u16string_view path) {
  // An empty name would give the program's own module.
  if (path.empty()) return 0;
  const std::wstring name = Terminated(path);
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(0, name.c_str(), &module)) return 0;
  return ToHandle(module);
}

void Win32Modules::FreeLibrary(platform::Handle module) {
  if (module != 0) ::FreeLibrary(FromHandle<HMODULE>(module));
}

platform::Handle Win32Modules::OwnModule() {
  return ToHandle(win32::OwnModule());
}

ErrorCode Win32Modules::MessageTemplate(platform::Handle module, std::uint32_t id,
                                        std::u16string& text) {
  text.clear();
  // With no module FormatMessageW would search the program's messages instead.
  if (module == 0) return ERROR_INVALID_HANDLE;
  return CallFormatMessage(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           FromHandle<HMODULE>(module), id, kUserDefaultLanguage, nullptr, text);
}

ErrorCode Win32Modules::FormatMessage(platform::Handle module, std::uint32_t id,
                                      std::span<const std::u16string> inserts,
                                      std::u16string& text) {
  text.clear();
  if (module == 0) return ERROR_INVALID_HANDLE;
  // FormatMessageW reads as many arguments as the message names and cannot be told the
  // array's length. Callers promise enough inserts; the spare slots, pointing to an empty
  // string, keep a broken promise from reading past the array.
  static const wchar_t kEmpty[] = L"";
  std::vector<DWORD_PTR> arguments(std::max(inserts.size(), kMaxInserts) + 1,
                                   reinterpret_cast<DWORD_PTR>(kEmpty));
  for (std::size_t i = 0; i < inserts.size(); ++i) {
    arguments[i] = reinterpret_cast<DWORD_PTR>(inserts[i].c_str());
  }
  return CallFormatMessage(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           FromHandle<HMODULE>(module), id, kUserDefaultLanguage,
                           reinterpret_cast<va_list*>(arguments.data()), text);
}

std::u16string Win32Modules::SystemErrorText(ErrorCode code) {
  std::u16string text;
  CallFormatMessage(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                    nullptr, text);
  return text;
}

std::u16string Win32Modules::LoadOwnString(std::uint32_t id) {
  // With a zero buffer size LoadStringW hands out a pointer to the resource itself, which is
  // not zero-terminated, and its length; no text is cut.
  const wchar_t* resource = nullptr;
  const int length = LoadStringW(win32::OwnModule(), id, reinterpret_cast<wchar_t*>(&resource), 0);
  if (length <= 0 || resource == nullptr) return {};
  return FromWide(resource, static_cast<std::size_t>(length));
}

}  // namespace qb::win32
