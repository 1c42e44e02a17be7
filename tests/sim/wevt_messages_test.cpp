#include "platform/sim/formats/wevt_messages.h"

#include <gtest/gtest.h>

#include "sim/wevt_fixture.h"

namespace {

using namespace qb::sim;
using qb::test::kOtherGuid;
using qb::test::kSecurityGuid;

class WevtMessages : public ::testing::Test {
 protected:
  std::vector<WevtProviderDesc> descs = qb::test::SampleProviders();
  qb::platform::Bytes bytes = WriteWevtManifest(descs);
  qb::sim::WevtManifest manifest = *ParseWevtManifest(bytes);
  MessageTable messages{{0xB0001211, u"Logon of %1 failed (%2).\r\n"},
                        {0xB1001211, u"Logon of %1 failed: %2, %3 and %%14592.\r\n"},
                        {0x70003100, u"Logon\r\n"},
                        {0x50000004, u"Information\r\n"},
                        {0x30010001, u"Begin%tnow\r\n"},
                        {0x30000001, u"Start\r\n"},
                        {0x10000035, u"Audit Failure\r\n"},
                        {0x10000036, u"Audit Success\r\n"}};
  MessageTable parameters{{14592, u"Inbound\r\n"}, {1, u"%%2\r\n"}, {2, u"two"}};
};

TEST_F(WevtMessages, DescriptionFromTheEventDefinition) {
  struct Case {
    const char* what;
    WevtEventKey key;
    std::vector<std::u16string> values;
    qb::platform::ErrorCode error;
    std::u16string text;
  };
  const Case cases[] = {
      {"inserts in template order",
       {kSecurityGuid, 4625, 0},
       {u"bob", u"0xC000006D"},
       0,
       u"Logon of bob failed (0xC000006D).\r\n"},
      {"the record's version picks the message",
       {kSecurityGuid, 4625, 1},
       {u"a", u"b", u"c"},
       0,
       u"Logon of a failed: b, c and Inbound.\r\n"},
      {"%%n in a value",
       {kSecurityGuid, 4625, 0},
       {u"x", u"%%14592"},
       0,
       u"Logon of x failed (Inbound).\r\n"},
      {"parameters are not expanded twice",
       {kSecurityGuid, 4625, 0},
       {u"x", u"%%1"},
       0,
       u"Logon of x failed (%2).\r\n"},
      {"unknown parameter stays",
       {kSecurityGuid, 4625, 0},
       {u"x", u"%%77"},
       evt_err::kUnresolvedParameterInsert,
       u"Logon of x failed (%%77).\r\n"},
      {"value missing",
       {kSecurityGuid, 4625, 0},
       {u"x"},
       evt_err::kUnresolvedValueInsert,
       u"Logon of x failed (%2).\r\n"},
      {"version not defined",
       {kSecurityGuid, 4625, 7},
       {u"x", u"y"},
       evt_err::kMessageIdNotFound,
       u""},
      {"event not defined", {kSecurityGuid, 1, 0}, {}, evt_err::kMessageIdNotFound, u""},
      {"definition without message",
       {kSecurityGuid, 5152, 0},
       {},
       evt_err::kMessageIdNotFound,
       u""},
      {"message not in the table", {kOtherGuid, 7, 0}, {}, evt_err::kMessageNotFound, u""},
      {"provider not in the manifest",
       {WevtGuid{}, 4625, 0},
       {},
       evt_err::kPublisherMetadataNotFound,
       u""},
  };
  for (const Case& c : cases) {
    WevtEventTexts texts = FormatWevtEvent(manifest, c.key, c.values, messages, parameters);
    EXPECT_EQ(texts.description.error, c.error) << c.what;
    EXPECT_EQ(texts.description.text, c.text) << c.what;
  }
}

TEST_F(WevtMessages, DescriptionFormatting) {
  std::u16string hundredAndOne;
  for (int i = 0; i < 101; ++i) hundredAndOne += u"%1";
  std::u16string hundredReplaced = u"%1";
  hundredReplaced.insert(0, 100, u'.');
  struct Case {
    const char* what;
    std::u16string_view message;
    std::vector<std::u16string> values;
    qb::platform::ErrorCode error;
    std::u16string_view text;
  };
  const Case cases[] = {
      {"escapes and conversions", u"%1!s!%t%2%n100%%%0 cut", {u"a", u"b"}, 0, u"a\tb\r\n100%"},
      {"%%n in the message itself", u"Direction: %%14592", {}, 0, u"Direction: Inbound"},
      {"%% before text is a percent", u"%%x %1", {u"v"}, 0, u"%x v"},
      {"at most 100 replacements",
       hundredAndOne,
       {u"."},
       evt_err::kMaxInsertsReached,
       hundredReplaced},
      {"first error met is kept", u"%3 %%9", {u"a"}, evt_err::kUnresolvedValueInsert, u"%3 %%9"},
  };
  for (const Case& c : cases) {
    WevtText text = FormatWevtDescription(c.message, c.values, parameters);
    EXPECT_EQ(text.error, c.error) << c.what;
    EXPECT_EQ(text.text, c.text) << c.what;
  }
}

TEST_F(WevtMessages, NamesOfTaskLevelOpcodeAndKeywords) {
  WevtEventTexts logon =
      FormatWevtEvent(manifest, {kSecurityGuid, 4625, 0}, {}, messages, parameters);
  EXPECT_EQ(logon.task.text, u"Logon");
  EXPECT_EQ(logon.level.error, evt_err::kMessageNotFound);  // level 0's message is not in the table
  EXPECT_EQ(logon.opcode.text, u"Begin\tnow");  // the task's own opcode, without the line break
  EXPECT_EQ(logon.keywords, std::vector<std::u16string>{u"Audit Failure"});  // bit 63 unnamed
  EXPECT_EQ(logon.keywordsError, 0u);

  WevtEventTexts drop =
      FormatWevtEvent(manifest, {kSecurityGuid, 5152, 0}, {}, messages, parameters);
  EXPECT_EQ(drop.level.text, u"Information");
  EXPECT_EQ(drop.task.error, evt_err::kMessageNotFound);
  EXPECT_EQ(drop.opcode.error, evt_err::kMessageNotFound);  // opcode 0 of task 12809: win:Info
  EXPECT_EQ(drop.keywords, std::vector<std::u16string>{u"Audit Success"});

  WevtEventTexts bare =
      FormatWevtEvent(manifest, {kSecurityGuid, 4611, 2}, {}, messages, parameters);
  EXPECT_EQ(bare.task.error, evt_err::kMessageIdNotFound);
  EXPECT_TRUE(bare.keywords.empty());
  EXPECT_EQ(bare.keywordsError, 0u);

  WevtEventTexts missing =
      FormatWevtEvent(manifest, {kSecurityGuid, 4625, 9}, {}, messages, parameters);
  EXPECT_EQ(missing.task.error, evt_err::kMessageIdNotFound);
  EXPECT_EQ(missing.keywordsError, evt_err::kMessageIdNotFound);
}

}  // namespace
