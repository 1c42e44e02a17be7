#include "platform/sim/services/accounts.h"

#include <gtest/gtest.h>

#include <future>

#include "util/text.h"

namespace qb::sim {
namespace {

using platform::Bytes;
namespace err = platform::err;

Bytes Sid(std::u16string_view text) {
  return SimAccounts::SidFromString(text);
}

TEST(SimAccounts, SidTextRoundTrips) {
  for (const char16_t* text :
       {u"S-1-0", u"S-1-5", u"S-1-1-0", u"S-1-5-32-544", u"S-1-0x123456789ABC-1",
        u"S-1-5-21-1004336348-1177238915-682003330-500", u"S-1-5-4294967295",
        u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"}) {
    const Bytes sid = Sid(text);
    ASSERT_FALSE(sid.empty()) << util::Utf16ToUtf8(text);
    EXPECT_EQ(SimAccounts::SidLength(sid), sid.size());
    EXPECT_EQ(SimAccounts::SidToString(sid), text);
  }
  EXPECT_EQ(
      Sid(u"S-1-5-32-544"),
      (Bytes{std::byte{1}, std::byte{2}, std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0},
             std::byte{0}, std::byte{5}, std::byte{0x20}, std::byte{0}, std::byte{0}, std::byte{0},
             std::byte{0x20}, std::byte{2}, std::byte{0}, std::byte{0}}));
  EXPECT_EQ(SimAccounts::SidToString(Sid(u"s-1-0X10")), u"S-1-16");
  for (const char16_t* bad : {u"", u"S", u"S-", u"S-1", u"S-2-5-18", u"S-1-5-", u"S-1--5",
                              u"S-1-5-x", u"X-1-5", u"S-1-5-4294967296", u"S-1-281474976710656",
                              u"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", u"S-1-5- 1"}) {
    EXPECT_TRUE(Sid(bad).empty()) << util::Utf16ToUtf8(bad);
  }
}

TEST(SimAccounts, TokenGroupsNeedA64BitLayout) {
  SimAccounts accounts;
  std::vector<platform::TokenGroup> groups;
  std::uint32_t needed = 0;
  // 8 + 4 * 16 + the SIDs (12 + 16 + 16 + 12).
  EXPECT_EQ(accounts.GetTokenGroups(127, groups, needed), err::kInsufficientBuffer);
  EXPECT_EQ(needed, 128u);
  EXPECT_TRUE(groups.empty());
  ASSERT_EQ(accounts.GetTokenGroups(128, groups, needed), err::kSuccess);
  std::vector<Bytes> sids;
  for (const auto& group : groups) sids.push_back(group.sid);
  EXPECT_EQ(sids, (std::vector<Bytes>{Sid(u"S-1-1-0"), Sid(u"S-1-5-32-544"), Sid(u"S-1-5-32-545"),
                                      Sid(u"S-1-5-11")}));

  // More groups than 1024 bytes hold.
  for (std::uint32_t i = 0; i < 30; ++i) {
    accounts.AddTokenGroup(Sid(u"S-1-5-21-1-2-3-" + std::u16string(1, u'0' + i % 10)));
  }
  EXPECT_EQ(accounts.GetTokenGroups(1024, groups, needed), err::kInsufficientBuffer);
  EXPECT_EQ(needed, 128u + 30u * (16 + 28));
  EXPECT_EQ(accounts.GetTokenGroups(needed, groups, needed), err::kSuccess);
  EXPECT_EQ(groups.size(), 34u);

  accounts.SetTokenError(err::kAccessDenied);
  EXPECT_EQ(accounts.GetTokenGroups(0x10000, groups, needed), err::kAccessDenied);
  EXPECT_TRUE(groups.empty());
  accounts.SetTokenError(err::kSuccess);
  accounts.SetTokenGroups({});
  EXPECT_EQ(accounts.GetTokenGroups(8, groups, needed), err::kSuccess);
}

// Well-known names, capacities and malformed SIDs are suite cases
// (tests/platform/accounts_suite.cpp); the machine's own accounts are the sim's set-up.
TEST(SimAccounts, LookupKnowsTheMachinesAccounts) {
  SimAccounts accounts;
  std::u16string name, domain;
  const Bytes admin = Sid(u"S-1-5-21-1004336348-1177238915-682003330-500");
  ASSERT_EQ(accounts.LookupAccountSid(admin, 14, 6, name, domain), err::kSuccess);
  EXPECT_EQ(name, u"Administrator");
  EXPECT_EQ(domain, u"QBSIM");
  EXPECT_EQ(accounts.LookupAccountSid(admin, 13, 6, name, domain), err::kInsufficientBuffer);
  EXPECT_EQ(accounts.LookupAccountSid(admin, 14, 5, name, domain), err::kInsufficientBuffer);
  EXPECT_TRUE(name.empty());
  // The token's default groups all have names.
  std::vector<platform::TokenGroup> groups;
  std::uint32_t needed = 0;
  ASSERT_EQ(accounts.GetTokenGroups(0x10000, groups, needed), err::kSuccess);
  for (const auto& group : groups) {
    EXPECT_EQ(accounts.LookupAccountSid(group.sid, 256, 256, name, domain), err::kSuccess)
        << util::Utf16ToUtf8(SimAccounts::SidToString(group.sid));
  }
  EXPECT_EQ(accounts.LookupAccountSid(Bytes{}, 256, 256, name, domain), kErrorInvalidSid);

  const Bytes mine = Sid(u"S-1-5-21-9-9-9-1001");
  EXPECT_EQ(accounts.LookupAccountSid(mine, 256, 256, name, domain), err::kNoneMapped);
  accounts.AddAccount(mine, u"bob", u"QBSIM");
  EXPECT_EQ(accounts.LookupAccountSid(mine, 256, 256, name, domain), err::kSuccess);
  EXPECT_EQ(name, u"bob");
  accounts.DeleteAccount(mine);
  EXPECT_EQ(accounts.LookupAccountSid(mine, 256, 256, name, domain), err::kNoneMapped);
  EXPECT_EQ(accounts.LookupCount(), 11u);
}

TEST(SimAccounts, AHeldLookupWaitsUntilReleased) {
  SimAccounts accounts;
  accounts.HoldLookups();
  EXPECT_FALSE(accounts.WaitForHeldLookups(1, std::chrono::milliseconds(1)));
  auto lookup = std::async(std::launch::async, [&] {
    std::u16string name, domain;
    return accounts.LookupAccountSid(Sid(u"S-1-5-18"), 256, 256, name, domain);
  });
  ASSERT_TRUE(accounts.WaitForHeldLookups(1, std::chrono::seconds(10)));
  EXPECT_EQ(accounts.LookupCount(), 1u);
  EXPECT_EQ(lookup.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  accounts.ReleaseLookups();
  EXPECT_EQ(lookup.get(), err::kSuccess);
  // Released, lookups pass straight through.
  std::u16string name, domain;
  EXPECT_EQ(accounts.LookupAccountSid(Sid(u"S-1-5-19"), 256, 256, name, domain), err::kSuccess);
}

}  // namespace
}  // namespace qb::sim
