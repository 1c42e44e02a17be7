#include "platform/sim/services/registry.h"

#include <gtest/gtest.h>

#include "util/text.h"

namespace qb::sim {
namespace {

namespace access = platform::access;
namespace err = platform::err;
using platform::RegRoot;

platform::Bytes Utf16File(std::u16string_view text) {
  return util::Utf16LeBytes(text, true);
}

platform::Bytes AnsiFile(std::string_view text) {
  const auto s = std::as_bytes(std::span(text.data(), text.size()));
  return {s.begin(), s.end()};
}

TEST(SimRegistry, LoadsARegeditExport) {
  SimRegistry reg;
  const std::u16string file =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application]\r\n"
      u"\"File\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\\r\n"
      u"  00,00,00\r\n"
      u"\"MaxSize\"=dword:01400000\r\n"
      u"\"Quote\"=\"say \\\"hi\\\" C:\\\\x\"\r\n"
      u"@=\"default\"\r\n"
      u"\"Bin\"=hex:01,02,ff\r\n"
      u"\"Gone\"=\"x\"\r\n"
      u"\"Gone\"=-\r\n\r\n"
      u"; a comment\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Temp\\Sub]\r\n"
      u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Temp]\r\n";
  EXPECT_EQ(reg.LoadRegFile(Utf16File(file)), "");
  const std::u16string app = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
  EXPECT_EQ(reg.GetString(app, u"File"), u"%SystemRoot%");
  EXPECT_EQ(reg.GetValue(app, u"File")->type, platform::regtype::kExpandSz);
  EXPECT_EQ(reg.GetDword(app, u"MaxSize"), 0x01400000u);
  EXPECT_EQ(reg.GetString(app, u"Quote"), u"say \"hi\" C:\\x");
  EXPECT_EQ(reg.GetString(app, u""), u"default");
  EXPECT_EQ(reg.GetValue(app, u"Bin")->data,
            (platform::Bytes{std::byte{1}, std::byte{2}, std::byte{0xFF}}));
  EXPECT_FALSE(reg.GetValue(app, u"Gone").has_value());
  EXPECT_FALSE(reg.KeyExists(u"SOFTWARE\\Temp"));
  EXPECT_TRUE(reg.KeyExists(u"software"));
}

TEST(SimRegistry, AnsiExportsAndErrors) {
  SimRegistry reg;
  EXPECT_EQ(reg.LoadRegFile(AnsiFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"N\"=\"caf\xe9\"\n")), "");
  EXPECT_EQ(reg.GetString(u"A", u"N", RegRoot::kCurrentUser), u"caf\u00e9");
  EXPECT_NE(reg.LoadRegFile(AnsiFile("not a registry file\n")), "");
  EXPECT_NE(reg.LoadRegFile(AnsiFile("REGEDIT4\n\"N\"=\"no key\"\n")), "");
  EXPECT_NE(reg.LoadRegFile(AnsiFile("REGEDIT4\n[HKEY_CLASSES_ROOT\\x]\n")), "");
  EXPECT_NE(reg.LoadRegFile(AnsiFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"N\"=hex:zz\n")), "");
  EXPECT_NE(reg.LoadRegFile(AnsiFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"N\"=dword:123456789\n")),
            "");
}

// What a handle may do with the rights it was opened for is a suite case
// (tests/platform/registry_suite.cpp); which rights a key grants is the sim's own set-up.
TEST(SimRegistry, AllowedAccessLimitsWhatAKeyMayBeOpenedFor) {
  SimRegistry reg;
  reg.SetString(u"K", u"V", u"x");
  reg.SetAllowedAccess(
      u"K", access::kStandardRightsRead | access::kKeyQueryValue | access::kKeyEnumerateSubKeys);
  platform::Handle h = 0;
  // KEY_READ asks for KEY_NOTIFY as well.
  EXPECT_EQ(reg.OpenKey(RegRoot::kLocalMachine, u"K", access::kKeyRead, h), err::kAccessDenied);
  EXPECT_EQ(h, 0u);
  ASSERT_EQ(reg.OpenKey(RegRoot::kLocalMachine, u"k", 0x20009, h), err::kSuccess);
  std::uint32_t type = 0;
  platform::Bytes data;
  EXPECT_EQ(reg.QueryValue(h, u"v", type, data), err::kSuccess);
  reg.CloseKey(h);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);

  reg.CreateKey(u"L\\Existing");
  reg.SetAllowedAccess(u"L", access::kKeyRead);  // no right to create subkeys below
  EXPECT_EQ(reg.CreateKey(RegRoot::kLocalMachine, u"L\\New", access::kKeyAllAccess, h),
            err::kAccessDenied);
  EXPECT_EQ(reg.CreateKey(RegRoot::kLocalMachine, u"L\\Existing", access::kKeyAllAccess, h),
            err::kSuccess);
  reg.CloseKey(h);
}

// Windows keeps subkeys sorted by their upper-case names; the interface promises no order.
TEST(SimRegistry, SubkeysEnumerateInWindowsOrder) {
  SimRegistry reg;
  for (auto n : {u"System", u"application", u"Security", u"HardwareEvents"})
    reg.CreateKey(std::u16string(u"L\\") + n);
  platform::Handle h = 0;
  ASSERT_EQ(reg.OpenKey(RegRoot::kLocalMachine, u"L", access::kKeyRead, h), err::kSuccess);
  std::vector<std::u16string> names;
  std::u16string name;
  for (std::uint32_t i = 0; reg.EnumSubKey(h, i, name) == err::kSuccess; ++i) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"application", u"HardwareEvents", u"Security",
                                                u"System"}));
  reg.CloseKey(h);
}

}  // namespace
}  // namespace qb::sim
