#include "plugin/record_name.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(RecordNameTest, TheFastFormIsTheSameNameCutTheSameWay) {
  struct Case {
    std::uint32_t number;
    std::size_t sourceLength, capacity;
  };
  const Case cases[] = {{4711, 23, 260}, {0, 0, 260},   {4294967295u, 300, 260},
                        {12, 250, 260},  {12, 260, 16}, {123456, 3, 8},
                        {7, 5, 1}};
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

}  // namespace
}  // namespace qb
