#include "iat_patch.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qb::winetest {
namespace {

bool SameNameNoCase(const char* a, std::string_view b) {
  const std::size_t length = std::strlen(a);
  return length == b.size() && std::equal(a, a + length, b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The table lies in a read-only section once the loader has bound it: lift the protection for
// the one write and put it back.
bool WriteEntry(ULONG_PTR* entry, void* function) {
  DWORD old = 0;
  if (!VirtualProtect(entry, sizeof(*entry), PAGE_READWRITE, &old)) return false;
  *entry = reinterpret_cast<ULONG_PTR>(function);
  DWORD ignored = 0;
  VirtualProtect(entry, sizeof(*entry), old, &ignored);
  return true;
}

}  // namespace

std::vector<std::string> PatchImports(HMODULE module, std::string_view library,
                                      const std::vector<ImportReplacement>& replacements) {
  std::vector<std::string> patched;
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return patched;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return patched;
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return patched;

  for (auto* descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (!SameNameNoCase(reinterpret_cast<const char*>(base + descriptor->Name), library)) {
      continue;
    }
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
    const auto note = [&](const char* name) {
      if (std::find(patched.begin(), patched.end(), name) == patched.end()) {
        patched.emplace_back(name);
      }
    };
    if (descriptor->OriginalFirstThunk == 0) {
      // No lookup table, so no names: an entry is known by the address the loader bound.
      const HMODULE supplier = GetModuleHandleA(std::string(library).c_str());
      for (; addresses->u1.Function != 0; ++addresses) {
        for (const ImportReplacement& r : replacements) {
          const FARPROC bound = supplier != nullptr ? GetProcAddress(supplier, r.name) : nullptr;
          if (bound == nullptr || addresses->u1.Function != reinterpret_cast<ULONG_PTR>(bound)) {
            continue;
          }
          if (WriteEntry(&addresses->u1.Function, r.function)) note(r.name);
          break;
        }
      }
      continue;
    }
    // The names come from the lookup table; the address table beside it holds what the
    // loader bound and is what the calls go through.
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      const auto replacement =
          std::find_if(replacements.begin(), replacements.end(),
                       [&](const ImportReplacement& r) { return std::strcmp(r.name, name) == 0; });
      if (replacement == replacements.end()) continue;
      if (WriteEntry(&addresses->u1.Function, replacement->function)) note(name);
    }
  }
  return patched;
}

}  // namespace qb::winetest
