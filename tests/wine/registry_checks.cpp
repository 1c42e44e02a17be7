// Win32Registry against the real registry, in a scratch key under HKEY_CURRENT_USER.
#include <string>

#include "check.h"
#include "platform/win32/registry.h"
#include "platform/win32/windows_api.h"
#include "platform_checks.h"

namespace qb::wine_test {
namespace {

using platform::Bytes;
using platform::Handle;
using platform::RegRoot;
namespace access = platform::access;
namespace regtype = platform::regtype;

Bytes Utf16Bytes(std::u16string_view text) {
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  Bytes bytes(begin, begin + text.size() * 2);
  bytes.push_back(std::byte{0});
  bytes.push_back(std::byte{0});
  return bytes;
}

std::u16string ScratchKey() {
  return u"Software\\Quillerbankton.PlatformTest." +
         std::u16string(
             reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str()));
}

void ValuesRoundTrip(win32::Win32Registry& registry, const std::u16string& root) {
  Handle key = 0;
  // Missing parents are created, and a trailing backslash is accepted.
  QB_CHECK(registry.CreateKey(RegRoot::kCurrentUser, root + u"\\a\\b\\", access::kKeyAllAccess,
                              key) == 0);
  QB_CHECK(key != 0);

  const Bytes text = Utf16Bytes(u"C:\\Plugins\\Quillerbankton.wfx");
  QB_CHECK(registry.SetValue(key, u"EventMessageFile", regtype::kSz, text) == 0);
  const std::uint32_t dword = 31;
  QB_CHECK(registry.SetValue(key, u"TypesSupported", regtype::kDword,
                             std::as_bytes(std::span(&dword, 1))) == 0);
  Bytes large(100000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = std::byte(i * 7);
  QB_CHECK(registry.SetValue(key, u"Large", regtype::kBinary, large) == 0);
  QB_CHECK(registry.SetValue(key, u"", regtype::kSz, Utf16Bytes(u"default")) == 0);
  registry.CloseKey(key);

  QB_CHECK(registry.OpenKey(RegRoot::kCurrentUser, root + u"\\a\\b", access::kKeyRead, key) == 0);
  std::uint32_t type = 0;
  Bytes data;
  QB_CHECK(registry.QueryValue(key, u"EventMessageFile", type, data) == 0);
  QB_CHECK(type == regtype::kSz && data == text);
  QB_CHECK(registry.QueryValue(key, u"TypesSupported", type, data) == 0);
  QB_CHECK(type == regtype::kDword && data.size() == 4 && data[0] == std::byte{31});
  // Far larger than any first guess: the buffer must grow to the whole value.
  QB_CHECK(registry.QueryValue(key, u"Large", type, data) == 0);
  QB_CHECK(type == regtype::kBinary && data == large);
  QB_CHECK(registry.QueryValue(key, u"", type, data) == 0);
  QB_CHECK(data == Utf16Bytes(u"default"));
  QB_CHECK(registry.QueryValue(key, u"Missing", type, data) == ERROR_FILE_NOT_FOUND);
  QB_CHECK(data.empty());
  registry.CloseKey(key);

  QB_CHECK(registry.OpenKey(RegRoot::kCurrentUser, root + u"\\missing", access::kKeyRead, key) ==
           ERROR_FILE_NOT_FOUND);
  QB_CHECK(key == 0);
}

void SubkeysEnumerate(win32::Win32Registry& registry, const std::u16string& root) {
  const std::u16string longName(255, u'k');
  for (const std::u16string& name : {std::u16string(u"first"), longName}) {
    Handle child = 0;
    QB_CHECK(registry.CreateKey(RegRoot::kCurrentUser, root + u"\\list\\" + name,
                                access::kKeyAllAccess, child) == 0);
    registry.CloseKey(child);
  }
  Handle key = 0;
  QB_CHECK(registry.OpenKey(RegRoot::kCurrentUser, root + u"\\list", access::kKeyRead, key) == 0);
  std::u16string name0, name1, name2 = u"stale";
  QB_CHECK(registry.EnumSubKey(key, 0, name0) == 0);
  QB_CHECK(registry.EnumSubKey(key, 1, name1) == 0);
  QB_CHECK((name0 == u"first" && name1 == longName) || (name1 == u"first" && name0 == longName));
  QB_CHECK(registry.EnumSubKey(key, 2, name2) == ERROR_NO_MORE_ITEMS);
  QB_CHECK(name2.empty());
  registry.CloseKey(key);
}

void TreesDelete(win32::Win32Registry& registry, const std::u16string& root) {
  Handle key = 0;
  // The fallback for systems without RegDeleteTreeW, on a tree of its own.
  QB_CHECK(registry.CreateKey(RegRoot::kCurrentUser, root + u"\\byhand\\x\\y\\z",
                              access::kKeyAllAccess, key) == 0);
  QB_CHECK(registry.SetValue(key, u"v", regtype::kSz, Utf16Bytes(u"1")) == 0);
  registry.CloseKey(key);
  const std::wstring byHand(reinterpret_cast<const wchar_t*>((root + u"\\byhand").c_str()));
  QB_CHECK(win32::DeleteKeyTreeByHand(HKEY_CURRENT_USER, byHand.c_str()) == 0);
  QB_CHECK(registry.OpenKey(RegRoot::kCurrentUser, root + u"\\byhand", access::kKeyRead, key) ==
           ERROR_FILE_NOT_FOUND);
  QB_CHECK(win32::DeleteKeyTreeByHand(HKEY_CURRENT_USER, byHand.c_str()) == ERROR_FILE_NOT_FOUND);

  QB_CHECK(registry.DeleteTree(RegRoot::kCurrentUser, root + u"\\") == 0);
  QB_CHECK(registry.OpenKey(RegRoot::kCurrentUser, root, access::kKeyRead, key) ==
           ERROR_FILE_NOT_FOUND);
  QB_CHECK(registry.DeleteTree(RegRoot::kCurrentUser, root) == ERROR_FILE_NOT_FOUND);
  // Never the whole root key.
  QB_CHECK(registry.DeleteTree(RegRoot::kCurrentUser, u"") == ERROR_INVALID_PARAMETER);
}

}  // namespace

void RegistryChecks() {
  win32::Win32Registry registry;
  const std::u16string root = ScratchKey();
  ValuesRoundTrip(registry, root);
  SubkeysEnumerate(registry, root);
  TreesDelete(registry, root);
  registry.DeleteTree(RegRoot::kCurrentUser, root);
}

}  // namespace qb::wine_test
