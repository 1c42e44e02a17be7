// IRegistry, in a scratch key under HKEY_CURRENT_USER.
#include <algorithm>

#include "backend.h"

namespace qb::suite {
namespace {

using platform::Bytes;
using platform::Handle;
using platform::RegRoot;
namespace access = platform::access;
namespace err = platform::err;
namespace regtype = platform::regtype;

constexpr RegRoot kUser = RegRoot::kCurrentUser;

Bytes Utf16Bytes(std::u16string_view text) {
  const auto* begin = reinterpret_cast<const std::byte*>(text.data());
  Bytes bytes(begin, begin + text.size() * 2);
  bytes.resize(bytes.size() + 2);
  return bytes;
}

class RegistrySuite : public PlatformTest {
 protected:
  // Creates `path` below the scratch key with one string value "v" = "1".
  void MakeKey(std::u16string_view path) {
    Handle key = 0;
    ASSERT_EQ(registry().CreateKey(kUser, root_ + u"\\" + std::u16string(path),
                                   access::kKeyAllAccess, key),
              err::kSuccess);
    EXPECT_EQ(registry().SetValue(key, u"v", regtype::kSz, Utf16Bytes(u"1")), err::kSuccess);
    registry().CloseKey(key);
  }

  const std::u16string root_ = backend().ScratchKey();
};

TEST_F(RegistrySuite, ValuesRoundTrip) {
  Handle key = 0;
  // Missing parents are created, and a trailing backslash is accepted.
  ASSERT_EQ(registry().CreateKey(kUser, root_ + u"\\a\\b\\", access::kKeyAllAccess, key),
            err::kSuccess);
  EXPECT_NE(key, 0u);
  const Bytes text = Utf16Bytes(u"C:\\Plugins\\Quillerbankton.wfx");
  EXPECT_EQ(registry().SetValue(key, u"EventMessageFile", regtype::kSz, text), err::kSuccess);
  const std::uint32_t dword = 31;
  EXPECT_EQ(registry().SetValue(key, u"TypesSupported", regtype::kDword,
                                std::as_bytes(std::span(&dword, 1))),
            err::kSuccess);
  Bytes large(100000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = std::byte(i * 7);
  EXPECT_EQ(registry().SetValue(key, u"Large", regtype::kBinary, large), err::kSuccess);
  EXPECT_EQ(registry().SetValue(key, u"", regtype::kSz, Utf16Bytes(u"default")), err::kSuccess);
  registry().CloseKey(key);

  // Names are matched without regard to case.
  ASSERT_EQ(registry().OpenKey(kUser, root_ + u"\\A\\b", access::kKeyRead, key), err::kSuccess);
  const struct {
    const char16_t* name;
    std::uint32_t type;
    Bytes data;
  } values[] = {
      {u"EventMessageFile", regtype::kSz, text},
      {u"typessupported", regtype::kDword, Bytes{std::byte{31}, {}, {}, {}}},
      // Far larger than any first guess of a buffer.
      {u"Large", regtype::kBinary, large},
      {u"", regtype::kSz, Utf16Bytes(u"default")},
  };
  for (const auto& value : values) {
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_EQ(registry().QueryValue(key, value.name, type, data), err::kSuccess) << U8(value.name);
    EXPECT_EQ(type, value.type) << U8(value.name);
    EXPECT_EQ(data, value.data) << U8(value.name);
  }
  std::uint32_t type = 0;
  Bytes data{std::byte{1}};
  EXPECT_EQ(registry().QueryValue(key, u"Missing", type, data), err::kFileNotFound);
  EXPECT_TRUE(data.empty());
  registry().CloseKey(key);

  key = 7;
  EXPECT_EQ(registry().OpenKey(kUser, root_ + u"\\missing", access::kKeyRead, key),
            err::kFileNotFound);
  EXPECT_EQ(key, 0u);
}

TEST_F(RegistrySuite, SubkeysEnumerate) {
  const std::u16string longest(255, u'k');
  for (const std::u16string& name : {std::u16string(u"First"), longest, std::u16string(u"b")}) {
    MakeKey(u"list\\" + name);
  }
  MakeKey(u"list\\b\\below");
  Handle key = 0;
  ASSERT_EQ(registry().OpenKey(kUser, root_ + u"\\list", access::kKeyRead, key), err::kSuccess);
  std::vector<std::u16string> names;
  std::u16string name;
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(registry().EnumSubKey(key, i, name), err::kSuccess);
    names.push_back(name);
  }
  // The order is the registry's own; only the direct subkeys are listed.
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"First", u"b", longest}));
  name = u"stale";
  EXPECT_EQ(registry().EnumSubKey(key, 3, name), err::kNoMoreItems);
  EXPECT_TRUE(name.empty());
  registry().CloseKey(key);
}

// What a handle may do is what it was opened for.
TEST_F(RegistrySuite, RightsBelongToTheHandle) {
  MakeKey(u"k");
  MakeKey(u"k\\sub");
  const std::u16string path = root_ + u"\\k";
  const struct {
    std::uint32_t access;
    platform::ErrorCode query, set, enumerate;
  } cases[] = {
      {access::kKeyRead, err::kSuccess, err::kAccessDenied, err::kSuccess},
      {access::kKeyQueryValue, err::kSuccess, err::kAccessDenied, err::kAccessDenied},
      {access::kKeyEnumerateSubKeys, err::kAccessDenied, err::kAccessDenied, err::kSuccess},
      {access::kKeySetValue, err::kAccessDenied, err::kSuccess, err::kAccessDenied},
      {access::kKeyAllAccess, err::kSuccess, err::kSuccess, err::kSuccess},
  };
  for (const auto& c : cases) {
    Handle key = 0;
    ASSERT_EQ(registry().OpenKey(kUser, path, c.access, key), err::kSuccess) << c.access;
    std::uint32_t type = 0;
    Bytes data;
    std::u16string name;
    EXPECT_EQ(registry().QueryValue(key, u"v", type, data), c.query) << c.access;
    EXPECT_EQ(registry().SetValue(key, u"w", regtype::kSz, Utf16Bytes(u"2")), c.set) << c.access;
    EXPECT_EQ(registry().EnumSubKey(key, 0, name), c.enumerate) << c.access;
    registry().CloseKey(key);
  }
}

TEST_F(RegistrySuite, TreesAreDeletedWhole) {
  MakeKey(u"tree\\x\\y\\z");
  MakeKey(u"tree\\kept");
  Handle deep = 0;
  ASSERT_EQ(registry().OpenKey(kUser, root_ + u"\\tree\\x\\y\\z", access::kKeyAllAccess, deep),
            err::kSuccess);
  EXPECT_EQ(registry().DeleteTree(kUser, root_ + u"\\tree\\X\\"), err::kSuccess);
  Handle key = 0;
  EXPECT_EQ(registry().OpenKey(kUser, root_ + u"\\tree\\x", access::kKeyRead, key),
            err::kFileNotFound);
  EXPECT_EQ(registry().OpenKey(kUser, root_ + u"\\tree\\kept", access::kKeyRead, key),
            err::kSuccess);
  registry().CloseKey(key);
  // A handle still open on a deleted key is of no more use.
  EXPECT_EQ(registry().SetValue(deep, u"v", regtype::kSz, Utf16Bytes(u"2")), err::kKeyDeleted);
  registry().CloseKey(deep);
  EXPECT_EQ(registry().DeleteTree(kUser, root_ + u"\\tree\\x"), err::kFileNotFound);
  EXPECT_EQ(registry().DeleteTree(kUser, root_ + u"\\nothing\\here"), err::kFileNotFound);
  // Never the whole root key.
  EXPECT_EQ(registry().DeleteTree(kUser, u""), err::kInvalidParameter);
  EXPECT_EQ(registry().DeleteTree(kUser, u"\\"), err::kInvalidParameter);
}

}  // namespace
}  // namespace qb::suite
