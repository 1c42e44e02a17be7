#include "platform/win32/save_file_dialog.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
// After the Windows headers: the common dialogs' error codes.
#include <cderr.h>

namespace qb::win32 {
namespace {

// The longest path the wide API accepts, in characters, terminator included.
constexpr std::size_t kPathBuffer = 32768;

}  // namespace

std::wstring DefaultExtension(std::u16string_view pattern) {
  if (pattern.size() < 3 || pattern.substr(0, 2) != u"*.") return {};
  const std::u16string_view extension = pattern.substr(2);
  if (extension.find_first_of(u"*?;. ") != std::u16string_view::npos) return {};
  return Terminated(extension);
}

std::optional<std::u16string> ChooseSaveFile(const platform::SaveFileRequest& request) {
  // "description\0pattern\0\0"; the string's own terminator is one more zero.
  std::wstring filter;
  if (!request.filterPattern.empty()) {
    filter = Terminated(request.filterDescription);
    filter.push_back(L'\0');
    filter += Terminated(request.filterPattern);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
  }
  const std::wstring extension = DefaultExtension(request.filterPattern);
  std::vector<wchar_t> buffer(kPathBuffer, L'\0');
  const std::size_t proposed = std::min(request.fileName.size(), kPathBuffer - 1);
  std::copy_n(reinterpret_cast<const wchar_t*>(request.fileName.data()), proposed, buffer.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = FromHandle<HWND>(request.owner);
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER |
                 OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  BOOL chosen = GetSaveFileNameW(&dialog);
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME && proposed != 0) {
    // The dialog refuses to open on a proposed name it cannot take: offer none instead.
    std::fill(buffer.begin(), buffer.end(), L'\0');
    chosen = GetSaveFileNameW(&dialog);
  }
  if (!chosen) return std::nullopt;
  buffer.back() = L'\0';
  return FromWide(buffer.data(), std::wcslen(buffer.data()));
}

}  // namespace qb::win32
