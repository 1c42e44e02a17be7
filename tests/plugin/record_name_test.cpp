#include "plugin/record_name.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/sim_fixture.h"

namespace qb {
namespace {

TEST(RecordNameTest, TheFastFormIsTheSameNameCutTheSameWay) {
  struct Case {
    RecordNumber number;
    std::size_t sourceLength, capacity;
  };
  const Case cases[] = {{4711, 23, 260},
                        {0, 0, 260},
                        {4294967295u, 300, 260},
                        {12, 250, 260},
                        {12, 260, 16},
                        {123456, 3, 8},
                        {7, 5, 1},
                        {18446744073709551615u, 10, 260},
                        {1ull << 40, 3, 20}};
  for (const auto& c : cases) {
    const std::u16string source(c.sourceLength, u's');
    TFileItemView item;
    item.fiNumber = c.number;
    item.fiName = source;
    item.fiType = u"information";
    std::vector<char16_t> buffer(c.capacity, u'#');
    plugin::RecordFileNameInto(item, buffer);
    EXPECT_EQ(std::u16string(buffer.data()), plugin::RecordFileName(item, c.capacity - 1))
        << c.number << " " << c.sourceLength << " " << c.capacity;
  }
  const std::u16string source = u"Service Control Manager";
  TFileItemView item{4711, 0, {}, source, u"information"};
  EXPECT_EQ(plugin::RecordFileName(item, 259), u"[4711] Service Control Manager.information");
}

// The number comes from the record's own name, the log from the folders before it: a classic
// log's name or a channel's path.
TEST(RecordNameTest, NumberAndFolderComeBackFromARemoteName) {
  const struct {
    const char16_t* remote;
    std::optional<RecordNumber> number;
    const char16_t* folder;
  } cases[] = {
      {u"\\Application\\[12] Disk.error", 12, u"Application"},
      {u"\\Applications and Services Logs\\Microsoft\\Windows\\PowerShell\\Operational\\"
       u"[18446744073709551615] PowerShell.verbose",
       18446744073709551615u,
       u"Applications and Services Logs\\Microsoft\\Windows\\PowerShell\\"
       u"Operational"},
      {u"\\Log [7]\\[8] x.error", 8, u"Log [7]"},
      {u"\\App\\[18446744073709551616] x.error", std::nullopt, u""},
      {u"\\App\\[12x] x.error", std::nullopt, u""},
      {u"\\App\\[] x.error", std::nullopt, u""},
      {u"\\App\\x.error", std::nullopt, u""},
      {u"[5] at the root.error", 5, u""},
  };
  for (const auto& c : cases) {
    const auto name = plugin::ExtractRecordNumber(c.remote);
    ASSERT_EQ(name.has_value(), c.number.has_value()) << support::U8(c.remote);
    if (!name) continue;
    EXPECT_EQ(name->number, *c.number);
    EXPECT_EQ(name->logName, c.folder);
  }
}

}  // namespace
}  // namespace qb
