#include "wfxhost/listing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qb::wfxhost {
namespace {

// A plugin whose folder holds `names`; its calls are counted.
struct FakeFolder {
  static inline std::vector<std::u16string> names;
  static inline std::uint32_t failWith = 0;  // FsFindFirstW fails with this last error
  static inline std::uint32_t lastError = 0;
  static inline std::size_t next = 0;
  static inline int nextCalls = 0;
  static inline int closes = 0;
  static inline std::u16string pathSeen;

  static void Fill(fs::WIN32_FIND_DATAW* data, std::size_t i) {
    *data = {};
    std::memcpy(data->cFileName, names[i].c_str(), (names[i].size() + 1) * 2);
    data->nFileSizeLow = static_cast<fs::DWORD>(100 + i);
    data->dwFileAttributes = 0x01;
    data->ftLastWriteTime = {0x256D4000, 0x01BF53EB};  // 2000-01-01T00:00:00Z
  }
  static fs::HANDLE QB_STDCALL FindFirst(fs::WCHAR* path, fs::WIN32_FIND_DATAW* data) {
    pathSeen = path;
    // The host's buffer is the host's: a plugin may write into it.
    path[0] = u'#';
    if (failWith != 0 || names.empty()) {
      lastError = failWith != 0 ? failWith : 18;
      return fs::kInvalidHandleValue;
    }
    Fill(data, 0);
    next = 1;
    return &next;
  }
  static fs::BOOL QB_STDCALL FindNext(fs::HANDLE handle, fs::WIN32_FIND_DATAW* data) {
    ++nextCalls;
    if (handle != &next || next >= names.size()) return fs::kFalse;
    Fill(data, next++);
    return fs::kTrue;
  }
  static int QB_STDCALL FindClose(fs::HANDLE handle) {
    if (handle == &next) ++closes;
    return 0;
  }
};

class HostListingTest : public ::testing::Test {
 protected:
  HostListingTest() {
    FakeFolder::names = {u"[3] Src.error", u"[2] Src.warning", u"[1] Src.information"};
    FakeFolder::failWith = 0;
    FakeFolder::nextCalls = 0;
    FakeFolder::closes = 0;
    plugin_.api.FsFindFirstW = &FakeFolder::FindFirst;
    plugin_.api.FsFindNextW = &FakeFolder::FindNext;
    plugin_.api.FsFindClose = &FakeFolder::FindClose;
    plugin_.environment.lastError = [] { return FakeFolder::lastError; };
  }

  std::vector<std::u16string> List(std::u16string_view path, std::optional<std::size_t> limit,
                                   bool expectOk = true) {
    std::vector<std::u16string> names;
    error_.clear();
    EXPECT_EQ(ListFolder(
                  plugin_, path, limit, [&](const Entry& e) { names.push_back(e.name); }, error_),
              expectOk)
        << error_;
    return names;
  }

  Plugin plugin_;
  std::string error_;
};

TEST_F(HostListingTest, ListsEveryEntryAndClosesTheHandle) {
  const auto names = List(u"\\Application", std::nullopt);
  EXPECT_EQ(names, FakeFolder::names);
  EXPECT_EQ(FakeFolder::pathSeen, u"\\Application");
  EXPECT_EQ(FakeFolder::closes, 1);
}

TEST_F(HostListingTest, ALimitStopsTheListingEarly) {
  EXPECT_EQ(List(u"\\Application", 2).size(), 2u);
  EXPECT_EQ(FakeFolder::nextCalls, 1);
  EXPECT_EQ(FakeFolder::closes, 1);
  EXPECT_EQ(List(u"\\Application", 0).size(), 0u);
  EXPECT_EQ(FakeFolder::closes, 2);
}

TEST_F(HostListingTest, NoMoreFilesIsAnEmptyFolder) {
  FakeFolder::names.clear();
  EXPECT_TRUE(List(u"\\Empty", std::nullopt).empty());
  EXPECT_EQ(error_, "");
  EXPECT_EQ(FakeFolder::closes, 0);  // an invalid handle is never closed
}

TEST_F(HostListingTest, OtherFailuresNameTheError) {
  FakeFolder::failWith = 3;
  EXPECT_TRUE(List(u"\\Nope", std::nullopt, false).empty());
  EXPECT_EQ(error_, "FsFindFirstW(\"\\Nope\") failed: error 3 (ERROR_PATH_NOT_FOUND)");
  EXPECT_EQ(FakeFolder::closes, 0);
}

TEST_F(HostListingTest, OverlongPathsAndMissingExportsAreRefused) {
  List(std::u16string(fs::kMaxPath, u'x'), std::nullopt, false);
  EXPECT_NE(error_.find("longer"), std::string::npos);
  plugin_.api.FsFindNextW = nullptr;
  List(u"\\", std::nullopt, false);
  EXPECT_NE(error_.find("does not export"), std::string::npos);
}

TEST(HostListing, RemoteNamesJoinAndSplit) {
  EXPECT_EQ(JoinRemote(u"\\", u"Application"), u"\\Application");
  EXPECT_EQ(JoinRemote(u"\\Application", u"[1] a.error"), u"\\Application\\[1] a.error");
  EXPECT_EQ(SplitRemote(u"\\Application\\[1] a.error"),
            (std::pair<std::u16string, std::u16string>{u"\\Application", u"[1] a.error"}));
  EXPECT_EQ(SplitRemote(u"\\Application"),
            (std::pair<std::u16string, std::u16string>{u"\\", u"Application"}));
}

TEST(HostListing, EntryLinesShowFlagsSizeTimeAndName) {
  Entry entry{u"[4711] Service Control Manager.information", 0x01, 7036, {0x256D4000, 0x01BF53EB}};
  EXPECT_EQ(EntryLine(entry),
            "-r       7036 2000-01-01T00:00:00Z [4711] Service Control Manager.information");
  // Without a time the names stay in their column.
  EXPECT_EQ(EntryLine({u"System", 0x10, 0, {}}), "d-          0 -                    System");
}

}  // namespace
}  // namespace qb::wfxhost
