// The heap a listing of a million records takes, counted by this program's own allocator: the
// 32-bit host has 2 GiB of fragmented address space, so neither the total per record nor any
// single block may grow with the log.
#include "alloc_counter.h"
#include "support/plugin_fixture.h"
#include "util/text.h"

namespace qb {
namespace {

using support::PluginTest;

constexpr std::uint32_t kRecords = 1'000'000;
constexpr std::size_t kMaxBytesPerRecord = 40;
constexpr std::size_t kMaxBlock = 2 * 1024 * 1024;

class ListMemoryTest : public PluginTest {};

TEST_F(ListMemoryTest, AMillionRecordsThroughTheExports) {
  auto& log = AddLog(u"Application");
  const std::u16string sources[] = {u"Service Control Manager", u"Disk", u"Tcpip", u"EventLog"};
  for (std::uint32_t i = 0; i < kRecords; ++i) {
    auto r = Record(sources[i % 4], 0x40000000u | (i % 64), i % 2 ? 1 : 4);
    r.timeGenerated = r.timeWritten = 1'600'000'000 + i;
    log.Append(r);
  }
  Init();
  const std::size_t live = bench::LiveBytes();
  bench::ResetPeak();
  std::u16string path = u"\\Application";
  fs::WIN32_FIND_DATAW data;
  std::uint32_t listed = 0;
  const fs::HANDLE h = FsFindFirstW(path.data(), &data);
  ASSERT_NE(h, fs::kInvalidHandleValue);
  do {
    ++listed;
  } while (FsFindNextW(h, &data));
  FsFindClose(h);
  EXPECT_EQ(listed, kRecords);
  // The event code column looks records up in the list.
  for (const std::uint32_t n : {1u, 500'000u, kRecords}) {
    std::u16string name = u"\\Application\\[" + util::ToDecimal(n) + u"] Disk.information";
    std::int32_t code = 0;
    ASSERT_EQ(FsContentGetValueW(name.data(), 2, 0, &code, 4, 0), fs::ft_numeric_32);
    EXPECT_EQ(code, static_cast<std::int32_t>((n - 1) % 64));
  }
  const std::size_t peak = bench::PeakBytes() - live;
  EXPECT_LE(peak, kMaxBytesPerRecord * kRecords) << peak / kRecords << " bytes a record";
  EXPECT_LE(bench::LargestBlock(), kMaxBlock);
}

TEST(ListMemory, AListOutOfOrderIsFoundWithoutALargeIndex) {
  const std::size_t live = bench::LiveBytes();
  bench::ResetPeak();
  TFileItemList list;
  // Neighbours swapped, as in a log that changed while it was read, and one number twice.
  for (std::uint32_t i = 0; i < kRecords; ++i) {
    list.Add(kRecords - (i ^ 1u), i % 7, {}, u"Src", TFWEventLogRecordType::rtInformation);
  }
  list.Add(7, 0, {}, u"Src", TFWEventLogRecordType::rtInformation);
  struct Case {
    std::uint32_t number;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {{kRecords, 1},
                        {kRecords - 1, 0},
                        {1, 999'998},
                        {500'001, 499'998},
                        {7, 999'992},
                        {0, std::nullopt},
                        {kRecords + 1, std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(list.Find(c.number), c.index) << c.number;
  const std::size_t peak = bench::PeakBytes() - live;
  EXPECT_LE(peak, kMaxBytesPerRecord * kRecords) << peak / kRecords << " bytes a record";
  EXPECT_LE(bench::LargestBlock(), kMaxBlock);
  EXPECT_LE(list.MemoryBytes(), 30u * kRecords);
}

}  // namespace
}  // namespace qb
