#include <cstring>

#include "plugin/lifecycle.h"
#include "support/plugin_fixture.h"
#include "sysutil/datetime.h"

namespace qb {
namespace {

using support::PluginTest;
namespace err = platform::err;

class ListingTest : public PluginTest {};

TEST_F(ListingTest, TheRootListsTheLogsAsFoldersInCatalogueOrder) {
  AddLog(u"Application");
  AddLog(u"Security");
  AddLog(u"System");
  Init();
  const auto root = List(u"\\");
  ASSERT_TRUE(root.ok);
  EXPECT_EQ(root.names, (std::vector<std::u16string>{u"Application", u"Security", u"System"}));
  for (const auto& e : root.entries) {
    EXPECT_EQ(e.dwFileAttributes, 0x10u);
    EXPECT_EQ(e.nFileSizeLow, 0u);
    EXPECT_EQ(e.ftLastWriteTime.dwLowDateTime | e.ftLastWriteTime.dwHighDateTime, 0u);
    EXPECT_EQ(e.cAlternateFileName[0], 0);
  }
}

TEST_F(ListingTest, AnEmptyCatalogueIsAnEmptyFolder) {
  Init();
  const auto root = List(u"\\");
  EXPECT_FALSE(root.ok);
  EXPECT_EQ(root.lastError, err::kNoMoreFiles);
}

TEST_F(ListingTest, ALogListsItsRecordsNewestFirst) {
  auto& app = AddLog(u"Application");
  app.oldestNumber = app.nextNumber = 7;
  auto r = Record(u"Service Control Manager", 0x40001B7C, 4);  // code 7036
  r.timeGenerated = 86399;
  app.Append(r);
  app.Append(Record(u"Disk", 11, 1));
  app.Append(Record(u"Security", 528, 8));
  Init();
  const auto list = List(u"\\Application");
  ASSERT_TRUE(list.ok);
  EXPECT_EQ(list.names,
            (std::vector<std::u16string>{u"[9] Security.successaudit", u"[8] Disk.error",
                                         u"[7] Service Control Manager.information"}));
  const auto& oldest = list.entries[2];
  EXPECT_EQ(oldest.dwFileAttributes, 0x01u);
  EXPECT_EQ(oldest.nFileSizeLow, 7036u);
  EXPECT_EQ(oldest.nFileSizeHigh, 0u);
  const auto when = sysutil::FileTimeToSystemTime(platform::FileTime{
      oldest.ftLastWriteTime.dwLowDateTime, oldest.ftLastWriteTime.dwHighDateTime});
  ASSERT_TRUE(when.has_value());
  EXPECT_EQ(*when, (platform::SystemTime{1970, 1, 4, 1, 23, 59, 59, 0}));
  EXPECT_EQ(oldest.ftCreationTime.dwLowDateTime | oldest.ftLastAccessTime.dwHighDateTime, 0u);
}

TEST_F(ListingTest, NamesMatchExactlyAndFailuresSayWhy) {
  auto& app = AddLog(u"Application");
  AddLog(u"Empty");
  AddLog(u"Broken");
  app.Append(Record(u"S"));
  machine().eventlog().SetOpenFails(u"Broken", err::kAccessDenied);
  Init();
  auto list = List(u"\\application");
  EXPECT_FALSE(list.ok);
  EXPECT_EQ(list.lastError, err::kPathNotFound);
  list = List(u"\\Unknown");  // the catalogue's placeholder is no folder
  EXPECT_EQ(list.lastError, err::kPathNotFound);
  EXPECT_TRUE(machine().ui().MessageBoxes().empty());

  list = List(u"\\Broken");
  EXPECT_EQ(list.lastError, err::kFileNotFound);
  ASSERT_EQ(machine().ui().MessageBoxes().size(), 1u);
  // The user is told why, in the system's words.
  EXPECT_EQ(machine().ui().MessageBoxes()[0].text,
            u"Error opening event manager.\r\n\r\nAccess is denied.");

  list = List(u"\\Empty");
  EXPECT_EQ(list.lastError, err::kNoMoreFiles);
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 1u);
  // The root closes the log again.
  ASSERT_TRUE(List(u"\\").ok);
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 0u);
}

TEST_F(ListingTest, FindNextStopsAndLeavesTheRecordAlone) {
  AddLog(u"Application").Append(Record(u"S"));
  Init();
  std::u16string path = u"\\Application";
  fs::WIN32_FIND_DATAW data;
  const fs::HANDLE h = FsFindFirstW(path.data(), &data);
  ASSERT_NE(h, fs::kInvalidHandleValue);
  std::memset(&data, 0x5A, sizeof(data));
  machine().system().SetLastError(1234);
  EXPECT_EQ(FsFindNextW(h, &data), fs::kFalse);
  EXPECT_EQ(machine().system().GetLastError(), 1234u);
  EXPECT_EQ(data.nFileSizeLow, 0x5A5A5A5Au);
  // A handle the plugin never gave is refused.
  int other = 0;
  EXPECT_EQ(FsFindNextW(&other, &data), fs::kFalse);
  // Every successful search hands out the same handle.
  EXPECT_EQ(FsFindFirstW(path.data(), &data), h);
}

TEST_F(ListingTest, AReaderThatDeliversNothingOrOnlyPartIsHonest) {
  auto& app = AddLog(u"Application");
  app.Append(Record(u"A"));
  app.Append(Record(u"B"));
  // A damaged record in the middle: what came before it is listed.
  platform::Bytes damaged = sim::BuildEventRecord(Record(u"C"));
  sim::WriteU32(damaged, 0, 20);
  app.Append(damaged);
  app.Append(Record(u"D"));
  Init();
  machine().ui().ClearMessageBoxes();
  auto list = List(u"\\Application");
  ASSERT_TRUE(list.ok);
  EXPECT_EQ(list.names, (std::vector<std::u16string>{u"[4] D.information"}));
  // The user is told once that this is not all, and why.
  const auto boxes = machine().ui().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.find(u"Not all records of the event log could be read.\r\n\r\n"), 0u)
      << support::U8(boxes[0].text);
  EXPECT_GT(boxes[0].text.size(), 52u);

  auto& only = AddLog(u"OnlyDamage");
  only.Append(damaged);
  plugin::OnProcessDetach(false);
  Init();
  list = List(u"\\OnlyDamage");
  EXPECT_FALSE(list.ok);
  EXPECT_EQ(list.lastError, 30u);  // a read fault, not an empty folder
}

TEST_F(ListingTest, LongNamesAreCutButKeepNumberAndType) {
  AddLog(u"Application").Append(Record(std::u16string(300, u's'), 1, 2));
  Init();
  const auto list = List(u"\\Application");
  ASSERT_TRUE(list.ok);
  const std::u16string name = list.names.at(0);
  EXPECT_EQ(name.size(), 259u);
  EXPECT_EQ(name.substr(0, 4), u"[1] ");
  EXPECT_EQ(name.substr(name.size() - 8), u".warning");
}

TEST_F(ListingTest, EightBitAdaptersCutMultiByteNamesAtCharacterBoundaries) {
  machine().locale().SetAnsiCodePage(sim::kCpUtf8);
  // 100 three-byte characters: 300 bytes in UTF-8, more than the 260 of the 8-bit record.
  AddLog(u"Application").Append(Record(std::u16string(100, u'\u4e8b'), 5, 1));
  Init();
  char path[] = "\\Application";
  fs::WIN32_FIND_DATAA data;
  std::memset(&data, 0x7F, sizeof(data));
  const fs::HANDLE h = FsFindFirst(path, &data);
  ASSERT_NE(h, fs::kInvalidHandleValue);
  const std::string name(data.cFileName);
  EXPECT_LE(name.size(), 259u);
  EXPECT_EQ(name.substr(0, 4), "[1] ");
  EXPECT_EQ((name.size() - 4) % 3, 0u) << "a character was split";
  EXPECT_EQ(data.cAlternateFileName[0], '\0');
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, 1u);
  EXPECT_EQ(FsFindNext(h, &data), fs::kFalse);
  char missing[] = "\\Nothing";
  EXPECT_EQ(FsFindFirst(missing, &data), fs::kInvalidHandleValue);
  EXPECT_EQ(data.cFileName[0], '\0');
}

}  // namespace
}  // namespace qb
