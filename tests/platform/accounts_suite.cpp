// IAccounts: the caller's token and the names of well-known accounts.
#include <algorithm>

#include "backend.h"
#include "differences.h"

namespace qb::suite {
namespace {

using platform::Bytes;
namespace err = platform::err;

Bytes Sid(std::initializer_list<int> bytes) {
  Bytes sid;
  for (int b : bytes) sid.push_back(static_cast<std::byte>(b));
  return sid;
}

// S-1-1-0, S-1-5-18, S-1-5-20 and S-1-5-32-544.
const Bytes kEveryone = Sid({1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0});
const Bytes kSystem = Sid({1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0});
const Bytes kNetworkService = Sid({1, 1, 0, 0, 0, 0, 0, 5, 20, 0, 0, 0});
const Bytes kAdministrators = Sid({1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0});

using AccountsSuite = PlatformTest;

TEST_F(AccountsSuite, TokenGroupsComeWithTheSizeTheyNeed) {
  std::vector<platform::TokenGroup> groups{{kSystem, 0}};
  std::uint32_t needed = 0;
  EXPECT_EQ(accounts().GetTokenGroups(0, groups, needed), err::kInsufficientBuffer);
  EXPECT_GT(needed, 0u);
  EXPECT_TRUE(groups.empty());
  std::uint32_t again = 0;
  EXPECT_EQ(accounts().GetTokenGroups(needed - 1, groups, again), err::kInsufficientBuffer);
  EXPECT_EQ(again, needed);
  ASSERT_EQ(accounts().GetTokenGroups(needed, groups, needed), err::kSuccess);
  ASSERT_FALSE(groups.empty());
  for (const auto& group : groups) {
    EXPECT_GE(group.sid.size(), 8u);
    EXPECT_EQ(group.sid.size(), 8 + 4 * static_cast<std::size_t>(group.sid[1]));
  }
  // Everyone is in every token, enabled.
  const auto everyone = std::find_if(groups.begin(), groups.end(),
                                     [](const auto& group) { return group.sid == kEveryone; });
  ASSERT_NE(everyone, groups.end());
  EXPECT_NE(everyone->attributes & platform::groupattr::kEnabled, 0u);
}

TEST_F(AccountsSuite, WellKnownAccountsHaveNames) {
  const struct {
    const Bytes& sid;
    const char16_t *name, *domain;
  } cases[] = {
      {kEveryone, u"Everyone", u""},
      {kSystem, u"SYSTEM", u"NT AUTHORITY"},
      {kNetworkService, u"NETWORK SERVICE", u"NT AUTHORITY"},
      {kAdministrators, u"Administrators", u"BUILTIN"},
  };
  for (const auto& c : cases) {
    std::u16string name, domain;
    EXPECT_EQ(accounts().LookupAccountSid(c.sid, 256, 256, name, domain), err::kSuccess)
        << U8(c.name);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(domain, c.domain) << U8(c.name);
  }
}

TEST_F(AccountsSuite, CapacitiesCountTheTerminator) {
  const struct {
    std::uint32_t name, domain;
    platform::ErrorCode error;
    bool edge;  // exactly one character short, or no buffer at all
  } cases[] = {
      {15, 8, err::kSuccess, false},
      {3, 256, err::kInsufficientBuffer, false},
      {256, 2, err::kInsufficientBuffer, false},
      {14, 8, err::kInsufficientBuffer, true},
      {15, 7, err::kInsufficientBuffer, true},
      {0, 0, err::kInsufficientBuffer, true},
  };
  for (const auto& c : cases) {
    if (c.edge && Applies(Difference::kAccountBufferEdges)) continue;
    std::u16string name = u"stale", domain = u"stale";
    EXPECT_EQ(accounts().LookupAccountSid(kAdministrators, c.name, c.domain, name, domain), c.error)
        << c.name << " " << c.domain;
    EXPECT_EQ(name, c.error == err::kSuccess ? u"Administrators" : u"");
  }
}

TEST_F(AccountsSuite, OnlyTheSidsOwnBytesCount) {
  // A record's SID may be followed by other bytes.
  Bytes padded = kNetworkService;
  padded.resize(padded.size() + 6, std::byte{0x55});
  std::u16string name, domain;
  EXPECT_EQ(accounts().LookupAccountSid(padded, 256, 256, name, domain), err::kSuccess);
  EXPECT_EQ(name, u"NETWORK SERVICE");

  Bytes cut = kAdministrators;
  cut.resize(14);
  Bytes revision = kAdministrators;
  revision[0] = std::byte{9};
  const Bytes tooMany = Sid({1, 20, 0, 0, 0, 0, 0, 5});
  for (const Bytes& bad : {Bytes{}, Sid({1, 1, 0, 0}), cut, revision, tooMany}) {
    name = u"stale";
    domain = u"stale";
    EXPECT_EQ(accounts().LookupAccountSid(bad, 256, 256, name, domain), err::kInvalidSid)
        << bad.size();
    EXPECT_TRUE(name.empty());
    EXPECT_TRUE(domain.empty());
  }
}

TEST_F(AccountsSuite, UnknownAccountsAreNotMapped) {
  // An account of a domain no one knows.
  const Bytes unknown =
      Sid({1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0, 0, 0xE9, 3, 0, 0});
  std::u16string name, domain;
  EXPECT_EQ(accounts().LookupAccountSid(unknown, 256, 256, name, domain), err::kNoneMapped);
  EXPECT_TRUE(name.empty());
}

}  // namespace
}  // namespace qb::suite
