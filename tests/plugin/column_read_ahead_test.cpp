// The text columns of a long log read a run of records per service call, in either direction,
// and give exactly the values that reading and decoding each record alone gives.
#include <chrono>
#include <future>

#include "dialogs/record_fields.h"
#include "plugin/column_text.h"
#include "plugin/plugin_state.h"
#include "plugin/record_name.h"
#include "plugin/record_text.h"
#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::PluginTest;

constexpr int kTextFields[] = {0, 1, 3};

class ColumnReadAheadTest : public PluginTest {
 protected:
  ColumnReadAheadTest() : app_(AddLog(u"Application")) {
    AddLibrary(u"C:\\m.dll", {{0x40000001, u"Job %1 of %2.\r\n"}, {2, u"Backup\r\n"}});
    AddSource(u"Application", u"Jobs", u"C:\\m.dll", u"C:\\m.dll");
    machine().accounts().AddAccount(sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-500"),
                                    u"admin", u"CORP");
  }
  ~ColumnReadAheadTest() override { machine().accounts().ReleaseLookups(); }
  void Fill(std::uint32_t count, std::uint32_t first = 0) {
    for (std::uint32_t i = first; i < first + count; ++i) {
      auto r = Record(i % 4 == 0 ? u"Other" : u"Jobs", 0x40000001, 4);
      r.category = static_cast<std::uint16_t>(i % 3);
      // Some records lack the second insert: their message does not fit them.
      r.strings = {util::ToDecimal(i)};
      if (i % 5 != 0) r.strings.push_back(u"run " + util::ToDecimal(i % 7));
      if (i % 2 == 0) r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-500");
      if (i % 6 == 1)
        r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-" + util::ToDecimal(i));
      app_.Append(r);
    }
  }
  static std::u16string Path(const std::u16string& name) { return u"\\Application\\" + name; }
  // Every text column of every listed record, asked through the export in list order or in
  // reverse.
  std::vector<std::u16string> Walk(const std::vector<std::u16string>& names, bool reverse) {
    std::vector<std::u16string> values;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const auto& name = names[reverse ? names.size() - 1 - k : k];
      for (const int field : kTextFields) {
        std::u16string text;
        EXPECT_EQ(Value(Path(name), field, text), fs::ft_stringw) << k;
        values.push_back(text);
      }
    }
    return values;
  }
  // The same values the way they were made before reading ahead: each record with a seek read
  // of its own and a full decoding through TFWEventLog::Read, as a copy reads it.
  std::vector<std::u16string> PerRecord(const std::vector<std::u16string>& names, bool reverse) {
    TFWEventLog& single = log();
    if (!single.OpenState().Has(TFSOpenState::osRead)) single.Open(1, TFSOpenState::osRead);
    constexpr std::size_t kLimit = 1024 / 2 - 1;  // what Value's buffer holds
    std::vector<std::u16string> values;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const auto& name = names[reverse ? names.size() - 1 - k : k];
      const auto remote = plugin::ExtractRecordNumber(Path(name));
      TFWEventLogRecord record;
      EXPECT_TRUE(remote && single.Read(false, remote->number, record)) << k;
      for (const std::u16string& text : {UserText(language(), record), record.Category,
                                         plugin::FlattenDescription(record.Description)}) {
        values.push_back(plugin::TruncateWithEllipsis(text, kLimit));
      }
    }
    return values;
  }
  sim::SimEventLog& app_;
};

TEST_F(ColumnReadAheadTest, EveryValueIsTheOneReadingTheRecordAloneGives) {
  Fill(10'000);
  Init();
  const auto names = List(u"\\Application").names;
  ASSERT_EQ(names.size(), 10'000u);
  auto& reader = *plugin::State().columns;
  for (const bool reverse : {false, true}) {
    ASSERT_TRUE(List(u"\\Application").ok);  // a fresh listing: nothing read before is kept
    const auto before = reader.ServiceCalls();
    const auto ahead = Walk(names, reverse);
    const auto calls = reader.ServiceCalls() - before;
    const auto single = PerRecord(names, reverse);
    ASSERT_EQ(ahead.size(), single.size());
    for (std::size_t i = 0; i < ahead.size(); ++i) {
      ASSERT_EQ(ahead[i], single[i]) << "value " << i << ", reverse " << reverse;
    }
    EXPECT_LE(calls * 50, names.size()) << calls << " calls, reverse " << reverse;
  }
  // Spot checks that the values are the records' own.
  std::u16string text;
  const std::u16string third = Path(names[names.size() - 3]);  // record 3
  ASSERT_EQ(Value(third, 3, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Job 2 of run 2.");
  ASSERT_EQ(Value(third, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"CORP\\admin");
  ASSERT_EQ(Value(Path(names[names.size() - 6]), 3, text), fs::ft_stringw);  // record 6
  EXPECT_NE(text.find(u"Not found"), std::u16string::npos);
}

TEST_F(ColumnReadAheadTest, RecordsGoneSinceTheListingAreEmpty) {
  Fill(200);
  Init();
  const auto names = List(u"\\Application").names;
  std::u16string text;
  ASSERT_EQ(Value(Path(names[0]), 3, text), fs::ft_stringw);  // reads ahead
  // Cleared and refilled behind the plugin's back: the numbers now stand for other records.
  app_.Clear();
  Fill(50);
  ASSERT_TRUE(List(u"\\Application").ok);                         // the host lists again
  EXPECT_EQ(Value(Path(names[10]), 3, text), fs::ft_fieldempty);  // [190]
  ASSERT_EQ(Value(u"\\Application\\[50] Jobs.information", 3, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Job 49 of run 0.");
  // Cleared through the plugin: what was read before is not shown again.
  ASSERT_TRUE(plugin::State().eventLog->Clear(u""));
  EXPECT_EQ(Value(u"\\Application\\[49] Other.information", 3, text), fs::ft_fieldempty);
}

TEST_F(ColumnReadAheadTest, ListingAgainLetsGoOfWhatWasRead) {
  Fill(400);
  Init();
  auto names = List(u"\\Application").names;
  auto& reader = *plugin::State().columns;
  auto& service = machine().eventlog();
  auto& modules = machine().modules();
  std::u16string text;
  for (std::size_t i = 0; i < 50; ++i) Value(Path(names[i]), 3, text);
  EXPECT_GT(reader.CachedBytes(), 0u);
  EXPECT_EQ(service.OpenHandleCount(), 2u);  // the listing's and the columns'
  EXPECT_EQ(modules.OpenModuleCount(), 1u);
  // The root is listed: the log is closed for both, its records and library go.
  ASSERT_TRUE(List(u"\\").ok);
  EXPECT_EQ(reader.CachedBytes(), 0u);
  EXPECT_EQ(service.OpenHandleCount(), 0u);
  EXPECT_EQ(modules.OpenModuleCount(), 0u);

  // A fetch waiting in a lookup on the background thread: the listing does not wait for it,
  // and the reader lets go as soon as that fetch ends.
  names = List(u"\\Application").names;
  Value(Path(names[0]), 3, text);
  machine().accounts().HoldLookups();
  auto fetch = std::async(std::launch::async, [name = Path(names[1])] {  // record 399
    std::vector<char16_t> buffer(512);
    std::u16string remote = name;
    return FsContentGetValueW(remote.data(), 0, 0, buffer.data(), 1024, 0);
  });
  ASSERT_TRUE(machine().accounts().WaitForHeldLookups(1, std::chrono::seconds(10)));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(List(u"\\").ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(service.OpenHandleCount(), 1u);  // still the reader's
  machine().accounts().ReleaseLookups();
  EXPECT_EQ(fetch.get(), fs::ft_stringw);
  EXPECT_EQ(reader.CachedBytes(), 0u);
  EXPECT_EQ(service.OpenHandleCount(), 0u);
  EXPECT_EQ(modules.OpenModuleCount(), 0u);
}

TEST_F(ColumnReadAheadTest, WhatIsKeptStaysWithinItsBound) {
  for (std::uint32_t i = 0; i < 8'000; ++i) {
    auto r = Record(u"Jobs", 2);
    r.data.assign(600 + i % 100, std::byte{0x5A});  // some 5 MiB of records in all
    app_.Append(r);
  }
  Init();
  const auto names = List(u"\\Application").names;
  auto& reader = *plugin::State().columns;
  std::size_t most = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::u16string text;
    ASSERT_EQ(Value(Path(names[i]), 1, text), fs::ft_stringw);
    if (i % 256 == 0) most = std::max(most, reader.CachedBytes());
  }
  EXPECT_LE(most, plugin::ColumnReader::kCacheBytes);
  // The bound is what limited it: the log's records take more.
  EXPECT_GT(most, plugin::ColumnReader::kCacheBytes * 3 / 4);
}

}  // namespace
}  // namespace qb
