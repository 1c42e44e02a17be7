// Built into the Windows test programs only (the native test support leaves it out).
#include "support/win32_folders.h"

#include "platform/win32/windows_api.h"

namespace qb::support {

void RemoveTree(const std::wstring& folder) {
  const std::wstring base = folder.rfind(L"\\\\?\\", 0) == 0 ? folder : L"\\\\?\\" + folder;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = base + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(base.c_str());
}

}  // namespace qb::support
