#include <stdexcept>

#include "support/eventlog_fixture.h"

namespace qb {
namespace {

using support::EventLogTest;

class MaintenanceTest : public EventLogTest {
 protected:
  MaintenanceTest() : app_(AddLog(u"Application")) {
    for (int i = 0; i < 5; ++i) app_.Append(Record(u"S", 1));
  }
  sim::SimEventLog& app_;
};

TEST_F(MaintenanceTest, ClearingWithAndWithoutBackup) {
  EXPECT_THROW(log().Clear(u""), EFWEventLog);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  ASSERT_TRUE(log().Clear(u"C:\\Temp\\saved.evt"));
  EXPECT_EQ(app_.records.size(), 0u);
  EXPECT_TRUE(files().FileExists(u"C:\\Temp\\saved.evt"));
  app_.Append(Record(u"S", 2));
  // The file exists now: the platform refuses to overwrite it and nothing is cleared.
  EXPECT_FALSE(log().Clear(u"C:\\Temp\\saved.evt"));
  EXPECT_EQ(app_.records.size(), 1u);
  EXPECT_TRUE(log().Clear(u""));
  EXPECT_EQ(app_.records.size(), 0u);
  // The saved copy opens again with its five records.
  ASSERT_TRUE(log().BackupOpen(u"C:\\Temp\\saved.evt", 1));
  EXPECT_EQ(log().RecordCount(true, false), 5u);
}

TEST_F(MaintenanceTest, BackupsAndTheFullState) {
  try {
    log().CreateBackup(u"C:\\Temp\\x.evt");
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_NE(e.Message().find(u"\"osRead\""), std::u16string::npos);
  }
  EXPECT_THROW(log().IsEventLogFull(), EFWEventLog);
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  EXPECT_FALSE(log().CreateBackup(u""));
  EXPECT_TRUE(log().CreateBackup(u"C:\\Temp\\x.evt"));
  EXPECT_FALSE(log().CreateBackup(u"C:\\Temp\\x.evt"));
  EXPECT_FALSE(log().IsEventLogFull());
  app_.maxSize = 1;
  app_.overwrite = false;
  app_.Append(Record(u"S", 3));
  EXPECT_TRUE(log().IsEventLogFull());
  machine().eventlog().SetFullInformationMissing(true);
  EXPECT_FALSE(log().IsEventLogFull());
}

TEST_F(MaintenanceTest, WritingAsTheOwnSource) {
  try {
    log().Write(TFWEventLogRecordType::rtInformation, u"abc", 1, 0);
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_NE(e.Message().find(u"\"osWrite\""), std::u16string::npos);
  }
  ASSERT_TRUE(log().Open(1, TFSOpenState::osWrite));
  EXPECT_EQ(machine().eventlog().RegisteredSources().back(), u"Quillerbankton");
  ASSERT_TRUE(log().Write(TFWEventLogRecordType::rtInformation, u"abc", 1, 0));
  const platform::Bytes& written = app_.records.back();
  EXPECT_EQ(sim::ReadU16(written, sim::recfield::kEventType), 4);
  EXPECT_EQ(sim::ReadU16(written, sim::recfield::kNumStrings), 1);
  EXPECT_EQ(sim::ReadU32(written, sim::recfield::kEventId), 0u);

  const std::byte raw[3] = {std::byte{1}, std::byte{2}, std::byte{3}};
  const auto before = app_.records.size();
  EXPECT_THROW(log().Write(TFWEventLogRecordType::rtError, u"x", raw, -1, 1, 0), std::out_of_range);
  EXPECT_THROW(log().Write(TFWEventLogRecordType::rtUnknown, u"x", 1, 0), EFWEventLog);
  EXPECT_EQ(app_.records.size(), before);
  ASSERT_TRUE(log().Write(TFWEventLogRecordType::rtAuditFailed, u"with data", raw, 3, 1, 0xFFFF));
  EXPECT_EQ(sim::ReadU32(app_.records.back(), sim::recfield::kDataLength), 3u);
  EXPECT_EQ(sim::ReadU32(app_.records.back(), sim::recfield::kEventId), 0xFFFFu);

  // Read back, the own source's events show their message and the "Default" category.
  ASSERT_TRUE(log().Open(1, TFSOpenState::osRead));
  TFWEventLogRecord r;
  ASSERT_TRUE(log().Read(false, 6u, r));
  EXPECT_EQ(r.Description, u"abc");
  EXPECT_EQ(r.Category, u"Default");
  EXPECT_EQ(r.EventType, TFWEventLogRecordType::rtInformation);
  try {
    RecordTypeToEventType(static_cast<TFWEventLogRecordType>(42));
    FAIL();
  } catch (const EFWEventLog& e) {
    EXPECT_EQ(e.Message(), u"Ошибка преобразования типов");
  }
}

class RegistrationTest : public EventLogTest {};

const std::u16string kOwnKey = support::kEventLogKey + u"Application\\Quillerbankton";

TEST_F(RegistrationTest, AdministratorsRegisterAndDeregister) {
  EXPECT_FALSE(log().IsRegistered());
  ASSERT_TRUE(log().RegisterApp(1));
  const std::u16string dll = files().ModuleFileName();
  EXPECT_EQ(registry().GetString(kOwnKey, u"CategoryMessageFile"), dll);
  EXPECT_EQ(registry().GetString(kOwnKey, u"EventMessageFile"), dll);
  EXPECT_EQ(registry().GetDword(kOwnKey, u"CategoryCount"), 1u);
  EXPECT_EQ(registry().GetDword(kOwnKey, u"TypesSupported"), 31u);
  EXPECT_EQ(registry().ValueNames(kOwnKey),
            (std::vector<std::u16string>{u"CategoryMessageFile", u"EventMessageFile",
                                         u"CategoryCount", u"TypesSupported"}));
  EXPECT_TRUE(log().IsRegistered());
  registry().CreateKey(kOwnKey + u"\\Sub");
  EXPECT_TRUE(log().DeregisterApp());
  EXPECT_FALSE(log().IsRegistered());
  EXPECT_TRUE(log().DeregisterApp());  // nothing to delete: still true, no message
  EXPECT_TRUE(machine().ui().MessageBoxes().empty());
}

TEST_F(RegistrationTest, OtherUsersSeeTheMessageAndNothingIsWritten) {
  machine().accounts().SetTokenGroups({sim::SimAccounts::SidFromString(u"S-1-5-32-545")});
  EXPECT_FALSE(log().RegisterApp(1));
  EXPECT_FALSE(registry().KeyExists(kOwnKey));
  ASSERT_EQ(machine().ui().MessageBoxes().size(), 1u);
  EXPECT_EQ(machine().ui().MessageBoxes()[0].text,
            u"Unable to register the application in the event manager.");
  EXPECT_FALSE(log().DeregisterApp());
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 2u);
}

TEST_F(RegistrationTest, AKeyThatCannotBeWrittenShowsTheMessage) {
  registry().CreateKey(kOwnKey);
  registry().SetAllowedAccess(kOwnKey, platform::access::kKeyRead);
  EXPECT_FALSE(log().RegisterApp(1));
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 1u);
  EXPECT_TRUE(registry().ValueNames(kOwnKey).empty());
  // Nor can it be deleted: the removal fails and says so, unless told to keep quiet.
  EXPECT_FALSE(log().DeregisterApp());
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 2u);
  EXPECT_FALSE(log().DeregisterApp(true));
  EXPECT_EQ(machine().ui().MessageBoxes().size(), 2u);
  EXPECT_TRUE(registry().KeyExists(kOwnKey));
}

}  // namespace
}  // namespace qb
