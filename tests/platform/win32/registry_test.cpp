// The Windows backend's registry: deleting a tree where RegDeleteTreeW does not exist.
#include <gtest/gtest.h>

#include "platform/win32/registry.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace qb::suite {
namespace {

using platform::Handle;
using platform::RegRoot;
namespace access = platform::access;

TEST(Win32Registry, TreesAreDeletedByHandWithoutRegDeleteTree) {
  win32::Win32Registry registry;
  const std::u16string root =
      u"Software\\Quillerbankton.ByHand." + win32::FromWide(std::to_wstring(GetCurrentProcessId()));
  Handle key = 0;
  ASSERT_EQ(
      registry.CreateKey(RegRoot::kCurrentUser, root + u"\\x\\y\\z", access::kKeyAllAccess, key),
      0u);
  const std::u16string one = u"1";
  EXPECT_EQ(registry.SetValue(key, u"v", platform::regtype::kSz,
                              std::as_bytes(std::span(one.c_str(), 2))),
            0u);
  registry.CloseKey(key);
  ASSERT_EQ(registry.CreateKey(RegRoot::kCurrentUser, root + u"\\x\\w", access::kKeyAllAccess, key),
            0u);
  registry.CloseKey(key);
  const std::wstring path = win32::Terminated(root);
  EXPECT_EQ(win32::DeleteKeyTreeByHand(HKEY_CURRENT_USER, path.c_str()), 0u);
  EXPECT_EQ(registry.OpenKey(RegRoot::kCurrentUser, root, access::kKeyRead, key),
            static_cast<platform::ErrorCode>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(win32::DeleteKeyTreeByHand(HKEY_CURRENT_USER, path.c_str()),
            static_cast<platform::ErrorCode>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace qb::suite
