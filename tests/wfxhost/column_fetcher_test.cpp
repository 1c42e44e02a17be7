#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "wfxhost/columns.h"

namespace qb::wfxhost {
namespace {

// A plugin with a fast field (0: the name's length), a slow one (1: the name as text, delayed
// when the host allows it), an empty one (2) and one only given on demand (3).
struct FakeColumns {
  static inline std::mutex mutex;
  static inline std::condition_variable changed;
  static inline bool listingDone = false;
  static inline std::thread::id listingThread;
  // Per slow fetch: on which thread, with which flags, and whether the listing was done by
  // the time the fetch was allowed to finish.
  struct SlowFetch {
    std::thread::id thread;
    int flags;
    bool sawListingDone;
  };
  static inline std::vector<SlowFetch> slowFetches;
  static inline std::atomic<int> delayedAnswers{0};

  static void Reset() {
    std::lock_guard lock(mutex);
    listingDone = false;
    listingThread = std::this_thread::get_id();
    slowFetches.clear();
    delayedAnswers = 0;
  }
  static void FinishListing() {
    {
      std::lock_guard lock(mutex);
      listingDone = true;
    }
    changed.notify_all();
  }

  static int QB_STDCALL GetValue(fs::WCHAR* name, int field, int, void* value, int maxlen,
                                 int flags) {
    const std::u16string text(name);
    switch (field) {
      case 0: {
        const auto length = static_cast<std::int32_t>(text.size());
        std::memcpy(value, &length, sizeof length);
        return fs::ft_numeric_32;
      }
      case 1: {
        if (flags & fs::CONTENT_DELAYIFSLOW) {
          ++delayedAnswers;
          return fs::ft_delayed;
        }
        // Slow: the value is ready only once the listing thread has moved on to the end. A
        // host that fetched it on the listing thread would wait here in vain.
        std::unique_lock lock(mutex);
        const bool done =
            changed.wait_for(lock, std::chrono::seconds(5), [] { return listingDone; });
        slowFetches.push_back({std::this_thread::get_id(), flags, done});
        const std::u16string shown = u"slow:" + text;
        if (static_cast<std::size_t>(maxlen) < (shown.size() + 1) * 2) return fs::ft_fileerror;
        std::memcpy(value, shown.c_str(), (shown.size() + 1) * 2);
        return fs::ft_stringw;
      }
      case 2:
        return fs::ft_fieldempty;
      case 3:
        return fs::ft_ondemand;
      default:
        return fs::ft_nosuchfield;
    }
  }

  static int QB_STDCALL SupportedField(int index, char* name, char* units, int maxlen) {
    static const char* const kNames[] = {"Length", "Slow", "Empty", "OnDemand"};
    static const int kTypes[] = {fs::ft_numeric_32, fs::ft_stringw, fs::ft_stringw, fs::ft_stringw};
    if (index < 0 || index >= 4) return fs::ft_nomorefields;
    std::snprintf(name, static_cast<std::size_t>(maxlen), "%s", kNames[index]);
    std::snprintf(units, static_cast<std::size_t>(maxlen), "%s", index == 0 ? "chars" : "");
    return kTypes[index];
  }
};

host::PluginExports FakeApi() {
  host::PluginExports api;
  api.FsContentGetValueW = &FakeColumns::GetValue;
  api.FsContentGetSupportedField = &FakeColumns::SupportedField;
  return api;
}

TEST(HostColumns, SupportedFieldsAreEnumeratedUntilNoMoreFields) {
  const auto fields = SupportedFields(FakeApi());
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].name, "Length");
  EXPECT_EQ(fields[0].units, "chars");
  EXPECT_EQ(fields[0].type, fs::ft_numeric_32);
  EXPECT_EQ(fields[3].index, 3);
  EXPECT_EQ(fields[3].name, "OnDemand");
  EXPECT_TRUE(SupportedFields(host::PluginExports{}).empty());
  EXPECT_FALSE(GetDefaultView(host::PluginExports{}));
}

TEST(HostColumns, DelayedValuesComeFromASecondThreadWhileTheListingGoesOn) {
  FakeColumns::Reset();
  const host::PluginExports api = FakeApi();
  std::vector<std::u16string> names;
  for (int i = 0; i < 20; ++i) names.push_back(u"\\Log\\[" + std::u16string(1, u'a' + i) + u"]");
  std::vector<std::vector<std::string>> rows;
  {
    ColumnFetcher fetcher(api, SupportedFields(api));
    for (const auto& name : names) fetcher.Request(name);
    FakeColumns::FinishListing();
    rows = fetcher.Finish();
    const auto stats = fetcher.stats();
    EXPECT_EQ(stats.immediate, 60u);
    EXPECT_EQ(stats.delayed, 20u);
    EXPECT_TRUE(stats.delayedOffThread);
  }
  EXPECT_EQ(FakeColumns::delayedAnswers.load(), 20);
  ASSERT_EQ(rows.size(), names.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 4u);
    EXPECT_EQ(rows[i][0], std::to_string(names[i].size()));
    EXPECT_EQ(rows[i][1], "slow:\\Log\\[" + std::string(1, static_cast<char>('a' + i)) + "]");
    EXPECT_EQ(rows[i][2], "");
    EXPECT_EQ(rows[i][3], "<ft_ondemand>");
  }
  std::lock_guard lock(FakeColumns::mutex);
  ASSERT_EQ(FakeColumns::slowFetches.size(), 20u);
  for (const auto& fetch : FakeColumns::slowFetches) {
    EXPECT_NE(fetch.thread, FakeColumns::listingThread);
    EXPECT_EQ(fetch.flags, 0);
    EXPECT_TRUE(fetch.sawListingDone);
  }
}

TEST(HostColumns, AFetcherLeftEarlyDropsWhatIsStillQueued) {
  FakeColumns::Reset();
  const host::PluginExports api = FakeApi();
  {
    ColumnFetcher fetcher(api, SupportedFields(api));
    fetcher.Request(u"\\Log\\one");
    fetcher.Request(u"\\Log\\two");
    FakeColumns::FinishListing();
  }  // no Finish: the destructor must neither hang nor crash
  std::lock_guard lock(FakeColumns::mutex);
  EXPECT_LE(FakeColumns::slowFetches.size(), 2u);
}

std::span<const std::byte> Bytes(const void* data, std::size_t size) {
  return {static_cast<const std::byte*>(data), size};
}

TEST(HostColumns, ValuesOfEveryTypeBecomeText) {
  const std::int32_t n32 = -5;
  EXPECT_EQ(ValueText(fs::ft_numeric_32, Bytes(&n32, 4)), "-5");
  const std::int64_t n64 = 1ll << 40;
  EXPECT_EQ(ValueText(fs::ft_numeric_64, Bytes(&n64, 8)), "1099511627776");
  const double d = 2.5;
  EXPECT_EQ(ValueText(fs::ft_numeric_floating, Bytes(&d, 8)), "2.5");
  const std::uint16_t date[3] = {2023, 11, 4};
  EXPECT_EQ(ValueText(fs::ft_date, Bytes(date, 6)), "2023-11-04");
  const std::uint16_t time[3] = {7, 5, 9};
  EXPECT_EQ(ValueText(fs::ft_time, Bytes(time, 6)), "07:05:09");
  const std::int32_t yes = 1;
  EXPECT_EQ(ValueText(fs::ft_boolean, Bytes(&yes, 4)), "true");
  EXPECT_EQ(ValueText(fs::ft_string, Bytes("ansi\0junk", 9)), "ansi");
  const char16_t wide[] = u"Jos\u00e9";
  EXPECT_EQ(ValueText(fs::ft_stringw, Bytes(wide, sizeof wide)), "Jos\xC3\xA9");
  // A plugin that fills the whole buffer without a terminator is read no further.
  EXPECT_EQ(ValueText(fs::ft_stringw, Bytes(wide, 4)), "Jo");
  const fs::FILETIME ft{0x256D4000, 0x01BF53EB};
  EXPECT_EQ(ValueText(fs::ft_datetime, Bytes(&ft, 8)), "2000-01-01T00:00:00Z");
  EXPECT_EQ(ValueText(fs::ft_fieldempty, {}), "");
  EXPECT_EQ(ValueText(fs::ft_fileerror, {}), "<ft_fileerror>");
  EXPECT_EQ(ValueText(fs::ft_nosuchfield, {}), "<ft_nosuchfield>");
  EXPECT_EQ(ValueText(fs::ft_delayed, {}), "<delayed again>");
}

}  // namespace
}  // namespace qb::wfxhost
