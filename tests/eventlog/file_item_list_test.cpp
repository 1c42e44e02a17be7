#include "eventlog/file_item_list.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

using T = TFWEventLogRecordType;

TFileItemList WithWords() {
  TFileItemList list;
  list.SetTypeWords({u"information", u"error", u"warning", u"information", u"successaudit",
                     u"failureaudit", u"unknown"});
  return list;
}

TEST(FileItemListTest, KeepsEveryFieldAcrossBlocksWithNamesHeldOnce) {
  TFileItemList list = WithWords();
  const std::size_t count = TFileItemList::kBlockItems * 2;
  const std::u16string sources[] = {u"Service Control Manager", u"Disk", u"a-much-longer-source"};
  for (std::size_t i = 0; i < count; ++i) {
    list.Add(static_cast<std::uint32_t>(count - i), static_cast<std::uint32_t>(i % 65536),
             platform::FileTime::from(1000 + i), sources[i % 3], static_cast<T>(i % 7));
  }
  ASSERT_EQ(list.size(), count);
  for (const std::size_t i :
       {std::size_t{0}, TFileItemList::kBlockItems - 1, TFileItemList::kBlockItems, count - 1}) {
    const auto item = list[i];
    EXPECT_EQ(item.fiNumber, count - i);
    EXPECT_EQ(item.fiSize, i % 65536);
    EXPECT_EQ(item.fiTime.value(), 1000 + i);
    EXPECT_EQ(item.fiName, sources[i % 3]);
  }
  EXPECT_EQ(list[1].fiType, u"error");
  EXPECT_EQ(list[3].fiType, u"information");  // rtInformation
  EXPECT_EQ(list[6].fiType, u"unknown");
  // 24 bytes a record, the three names once.
  EXPECT_LT(list.MemoryBytes(), count * 25);
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.MemoryBytes(), 0u);
}

TEST(FileItemListTest, FindsTheFirstRecordOfANumber) {
  struct Case {
    std::vector<std::uint32_t> numbers;
    std::uint32_t wanted;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {
      {{9, 8, 7}, 9, 0},
      {{9, 8, 7}, 7, 2},
      {{9, 8, 7}, 10, std::nullopt},
      {{9, 8, 7}, 6, std::nullopt},
      {{}, 1, std::nullopt},
      // Not in order (a log that changed while it was read): still found, the first one wins.
      {{3, 5, 4, 5}, 5, 1},
      {{3, 5, 4, 5}, 4, 2},
      {{3, 5, 4, 5}, 1, std::nullopt},
      {{7, 7}, 7, 0},
  };
  for (const auto& c : cases) {
    TFileItemList list = WithWords();
    for (const auto n : c.numbers) list.Add(n, 0, {}, u"S", T::rtError);
    EXPECT_EQ(list.Find(c.wanted), c.index) << c.wanted;
  }
}

TEST(FileItemListTest, PushedItemsKeepTheirTypeWord) {
  TFileItemList list = WithWords();
  list.push_back(TFileItem{u"Disk", u"warning", 4, 11, {}});
  list.push_back(TFileItem{u"Disk", u"bogus", 3, 12, {}});
  EXPECT_EQ(list[0].ToItem().fiType, u"warning");
  EXPECT_EQ(list[1].fiType, u"unknown");
}

}  // namespace
}  // namespace qb
