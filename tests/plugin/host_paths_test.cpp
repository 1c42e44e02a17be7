// Paths from hosts that separate with "/" (Double Commander on Linux) and with a trailing
// separator, and source names that hold a separator.
#include "plugin/host_text.h"
#include "plugin/record_name.h"
#include "support/plugin_fixture.h"

namespace qb {
namespace {

using support::PluginTest;

TEST(RemotePathTest, SlashesAreSeparatorsAndATrailingOneNamesTheFolder) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"", u""},
      {u"\\", u"\\"},
      {u"/", u"\\"},
      {u"/Security", u"\\Security"},
      {u"/Security/", u"\\Security"},
      {u"\\Security\\", u"\\Security"},
      {u"/Application/[1] Disk.error", u"\\Application\\[1] Disk.error"},
      {u"\\Application/[1] Disk.error", u"\\Application\\[1] Disk.error"},
      {u"/Log 2.0/", u"\\Log 2.0"},
  };
  for (const auto& [host, core] : cases) {
    EXPECT_EQ(plugin::RemotePath(host), core) << support::U8(host);
  }
}

TEST(RecordNameTest, ASeparatorInTheSourceIsReplacedAndTheNameStillParses) {
  struct Case {
    std::u16string source;
    std::size_t capacity;
    std::u16string name;
  };
  const Case cases[] = {
      {u"Dir\\Svc", 260, u"[42] Dir_Svc.error"}, {u"a/b/c", 260, u"[42] a_b_c.error"},
      {u"\\/", 260, u"[42] __.error"},           {u"Plain", 260, u"[42] Plain.error"},
      {u"ab/cdef", 15, u"[42] ab_.error"},  // cut, the replacement kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.source));
    TFileItemView item{42, 0, {}, c.source, u"error"};
    EXPECT_EQ(plugin::RecordFileName(item, c.capacity - 1), c.name);
    std::vector<char16_t> buffer(c.capacity, u'#');
    plugin::RecordFileNameInto(item, buffer);
    EXPECT_EQ(std::u16string(buffer.data()), c.name);
    for (const auto* log : {u"\\Application\\", u"/Application/"}) {
      const auto parsed = plugin::ExtractRecordNumber(plugin::RemotePath(log + c.name));
      ASSERT_TRUE(parsed.has_value());
      EXPECT_EQ(parsed->number, 42u);
      EXPECT_EQ(parsed->logName, u"Application");
    }
  }
}

class HostPathsTest : public PluginTest {
 protected:
  HostPathsTest() {
    AddLog(u"Application").Append(Record(u"Disk", 11, 1));
    AddLog(u"Security").Append(Record(u"Dir\\Svc/x", 4624, 1));
    Init();
  }
};

TEST_F(HostPathsTest, EveryExportTakesSlashesAndTrailingSeparators) {
  struct Case {
    std::u16string path;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      {u"/", {u"Application", u"Security"}},     {u"\\", {u"Application", u"Security"}},
      {u"/Application", {u"[1] Disk.error"}},    {u"/Application/", {u"[1] Disk.error"}},
      {u"\\Application\\", {u"[1] Disk.error"}}, {u"/Security/", {u"[1] Dir_Svc_x.error"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.path));
    const auto listing = List(c.path);
    ASSERT_TRUE(listing.ok);
    EXPECT_EQ(listing.names, c.names);
  }
  ASSERT_FALSE(List(u"/Missing/").ok);

  // The record behind a listed name with a replaced separator is the record itself.
  ASSERT_TRUE(List(u"/Security/").ok);
  const std::u16string out = u"C:\\Temp\\audit.txt";
  ASSERT_EQ(GetFile(u"/Security/[1] Dir_Svc_x.error", out), fs::FS_FILE_OK);
  EXPECT_NE(FileText(out).find(u"Dir\\Svc/x\r\n"), std::u16string::npos);
  std::u16string code;
  EXPECT_EQ(Value(u"/Security/[1] Dir_Svc_x.error", 2, code), fs::ft_numeric_32);
}

TEST_F(HostPathsTest, FoldersAndTheRootHaveNoColumnValues) {
  ASSERT_TRUE(List(u"/Application/").ok);
  for (const auto* name : {u"/", u"\\", u"/Application", u"/Application/", u"/Security"}) {
    for (int field = 0; field < 4; ++field) {
      std::u16string text;
      EXPECT_EQ(Value(name, field, text), fs::ft_fieldempty) << support::U8(name) << field;
    }
  }
}

}  // namespace
}  // namespace qb
