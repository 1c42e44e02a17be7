// The text columns of a long log read a run of records per service call, in either direction,
// and give exactly the values that reading each record alone gives.
#include "plugin/plugin_state.h"
#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using testing::PluginTest;

class ColumnReadAheadTest : public PluginTest {
 protected:
  ColumnReadAheadTest() : app_(AddLog(u"Application")) {
    AddLibrary(u"C:\\m.dll", {{0x40000001, u"Job %1 of %2.\r\n"}, {2, u"Backup\r\n"}});
    AddSource(u"Application", u"Jobs", u"C:\\m.dll", u"C:\\m.dll");
    machine().accounts().AddAccount(sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-500"),
                                    u"admin", u"CORP");
  }
  void Fill(std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) {
      auto r = Record(i % 4 == 0 ? u"Other" : u"Jobs", 0x40000001, 4);
      r.category = static_cast<std::uint16_t>(i % 3);
      r.strings = {util::ToDecimal(i), u"run " + util::ToDecimal(i % 7)};
      if (i % 2 == 0) r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-500");
      app_.Append(r);
    }
  }
  // Every text column of every listed record, walked in list order or in reverse.
  std::vector<std::u16string> Walk(const std::vector<std::u16string>& names, bool reverse) {
    std::vector<std::u16string> values;
    for (std::size_t k = 0; k < names.size(); ++k) {
      const auto& name = names[reverse ? names.size() - 1 - k : k];
      for (const int field : {0, 1, 3}) {
        std::u16string text;
        Value(u"\\Application\\" + name, field, text);
        values.push_back(text);
      }
    }
    return values;
  }
  sim::SimEventLog& app_;
};

TEST_F(ColumnReadAheadTest, TheSameValuesWithAFractionOfTheServiceCalls) {
  Fill(10'000);
  Init();
  const auto names = List(u"\\Application").names;
  ASSERT_EQ(names.size(), 10'000u);
  auto& reader = *plugin::State().columns;
  for (const bool reverse : {false, true}) {
    reader.SetReadAhead(false);
    ASSERT_TRUE(List(u"\\Application").ok);
    const auto single = Walk(names, reverse);
    reader.SetReadAhead(true);
    ASSERT_TRUE(List(u"\\Application").ok);
    const auto before = reader.ServiceCalls();
    const auto ahead = Walk(names, reverse);
    const auto calls = reader.ServiceCalls() - before;
    EXPECT_EQ(ahead, single) << "reverse " << reverse;
    EXPECT_LE(calls * 50, names.size()) << calls << " calls, reverse " << reverse;
  }
  // Spot checks that the values are the records' own.
  std::u16string text;
  const std::u16string third = u"\\Application\\" + names[names.size() - 3];  // record 3
  ASSERT_EQ(Value(third, 3, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Job 2 of run 2.");
  ASSERT_EQ(Value(third, 0, text), fs::ft_stringw);
  EXPECT_EQ(text, u"CORP\\admin");
}

TEST_F(ColumnReadAheadTest, RecordsGoneSinceTheListingAreEmpty) {
  Fill(200);
  Init();
  const auto names = List(u"\\Application").names;
  std::u16string text;
  ASSERT_EQ(Value(u"\\Application\\" + names[0], 3, text), fs::ft_stringw);  // reads ahead
  // Cleared and refilled behind the plugin's back: the numbers now stand for other records.
  app_.Clear();
  Fill(50);
  ASSERT_TRUE(List(u"\\Application").ok);  // the host lists again
  EXPECT_EQ(Value(u"\\Application\\" + names[10], 3, text), fs::ft_fieldempty);  // [190]
  ASSERT_EQ(Value(u"\\Application\\[50] Jobs.information", 3, text), fs::ft_stringw);
  EXPECT_EQ(text, u"Job 49 of run 0.");
  // Cleared through the plugin: what was read before is not shown again.
  ASSERT_TRUE(plugin::State().eventLog->Clear(u""));
  EXPECT_EQ(Value(u"\\Application\\[49] Other.information", 3, text), fs::ft_fieldempty);
}

}  // namespace
}  // namespace qb
