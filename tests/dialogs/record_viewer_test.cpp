#include "dialogs/record_viewer.h"
#include "support/dialog_fixture.h"

namespace qb {
namespace {

using namespace viewer;
using support::DialogTest;
namespace mb = platform::mb;

class RecordViewerTest : public DialogTest {
 protected:
  RecordViewerTest() : app_(AddLog(u"Application")) {
    auto first = Record(u"Service-Control-Manager", 0x40001B7C, 4);  // code 7036
    first.timeWritten = 1'199'145'600 + 3 * 3600 + 4 * 60 + 5;       // 2008-01-01 03:04:05
    first.computer = u"WS01";
    first.strings = {u"Print Spooler"};
    app_.Append(first);
    auto second = Record(u"Disk", 11, 1);
    second.data = {std::byte{0x48}, std::byte{0x65}, std::byte{0x6C}, std::byte{0x6C},
                   std::byte{0x6F}, std::byte{0x00}, std::byte{0x01}, std::byte{0x02},
                   std::byte{0x41}, std::byte{0x42}};
    app_.Append(second);
    app_.Append(Record(u"Security", 528, 8));
    AddLog(u"System").Append(Record(u"EventLog", 6005, 4));
    Init();
    names_ = List(u"\\Application").names;  // [3], [2], [1]
  }

  // Opens the record under the caret of a host list of the Application folder.
  int OpenAt(int caret, bool multipleSelection = true) {
    list_ = &HostList(names_, caret, multipleSelection);
    return Execute(u"\\Application\\" + names_[static_cast<std::size_t>(caret) - 1], u"open");
  }

  sim::SimEventLog& app_;
  std::vector<std::u16string> names_;
  sim::SimListBox* list_ = nullptr;
};

TEST_F(RecordViewerTest, ShowsTheRecordUnderTheCaret) {
  ASSERT_EQ(OpenAt(3), fs::FS_EXEC_OK);
  const auto d = LastDialog();
  EXPECT_EQ(d.name, u"RecordViewer");
  EXPECT_EQ(d.caption, u"Properties");
  EXPECT_EQ(d.owner, kHostWindow);
  const std::pair<int, std::u16string> expected[] = {
      {lblTypeVal, u"Information"}, {lblDateVal, u"1/1/2008"},
      {lblTimeVal, u"3:04:05 AM"},  {lblUserVal, u"N\\A"},
      {lblCompVal, u"WS01"},        {lblSourceVal, u"Service Control Manager"},
      {lblCategryVal, u"Unknown"},  {lblCodeVal, u"7036"},
      {lblType, u"Type:"},          {lblCode, u"Code (ID):"},
      {pcEvent, u"Event"},          {memData, u""},
  };
  for (const auto& [id, text] : expected) EXPECT_EQ(TextOf(d, id), text) << id;
  EXPECT_NE(TextOf(d, memDescription).find(u"Print Spooler"), std::u16string::npos);
  EXPECT_EQ(ControlOf(d, StatusImage).image, 0);
  for (const int id : {lblData, memData, rbByte, rbWord}) {
    EXPECT_FALSE(ControlOf(d, id).enabled) << id;
  }
  // Centred over the host window.
  const int width = d.windowRect.right - d.windowRect.left;
  EXPECT_EQ(d.windowRect.left, 100 + (1000 - width) / 2);
}

TEST_F(RecordViewerTest, BinaryDataByBytesThenByWordsAndTheLayoutCarriesOver) {
  Then([](sim::SimDialog& d) {
    EXPECT_TRUE(d.Control(memData)->enabled);
    EXPECT_EQ(d.Text(memData), u"0000: 48 65 6C 6C 6F 00 01 02     Hello...\r\n0010: 41 42 " +
                                   std::u16string(22, u' ') + u"AB");
    d.Click(rbWord);
    EXPECT_EQ(d.Text(memData), u"0000: 6C6C6548 0201006F 4241 ");
    d.Click(btnUp);  // to record 3, which has no data
    EXPECT_FALSE(d.Control(rbWord)->enabled);
    d.Click(btnDown);
  });
  ASSERT_EQ(OpenAt(2), fs::FS_EXEC_OK);
  const auto d = LastDialog();
  EXPECT_EQ(TextOf(d, lblCodeVal), u"11");
  EXPECT_EQ(TextOf(d, memData), u"0000: 6C6C6548 0201006F 4241 ");
}

TEST_F(RecordViewerTest, StepsAlongTheHostListAndWrapsWhenAsked) {
  struct Case {
    const char* what;
    int caret;
    bool focusMemo;
    int button;  // 0: the key instead
    std::uint32_t key;
    int answer;  // to the wrap question, 0 when none is asked
    int expectedCaret;
    const char16_t* expectedCode;
  };
  const Case cases[] = {
      {"down to the next entry", 1, false, btnDown, 0, 0, 2, u"11"},
      {"Page Down", 2, false, 0, platform::vk::kNext, 0, 3, u"7036"},
      {"Page Up", 2, false, 0, platform::vk::kPrior, 0, 1, u"528"},
      {"past the end, yes", 3, false, btnDown, 0, mb::kIdYes, 1, u"528"},
      {"past the end, no", 3, false, 0, platform::vk::kNext, mb::kIdNo, 3, u"7036"},
      {"before the first, yes", 1, false, btnUp, 0, mb::kIdYes, 3, u"7036"},
      {"before the first, no", 1, false, 0, platform::vk::kPrior, mb::kIdNo, 1, u"528"},
      {"Page Down in the description", 2, true, 0, platform::vk::kNext, 0, 2, u"11"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui().ClearMessageBoxes();
    if (c.answer != 0) ui().QueueAnswer(c.answer);
    Then([&](sim::SimDialog& d) {
      if (c.focusMemo) d.Focus(memDescription);
      if (c.button != 0) {
        d.Click(c.button);
      } else {
        d.PressKey(c.key);
      }
    });
    ASSERT_EQ(OpenAt(c.caret), fs::FS_EXEC_OK);
    EXPECT_EQ(list_->caret, c.expectedCaret);
    EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), c.expectedCode);
    const auto boxes = ui().MessageBoxes();
    ASSERT_EQ(boxes.size(), c.answer != 0 ? 1u : 0u);
    if (c.answer != 0) {
      EXPECT_EQ(boxes[0].caption, u"View events");
      EXPECT_EQ(boxes[0].flags, mb::kYesNo | mb::kIconQuestion);
      EXPECT_NE(boxes[0].text.find(c.caret == 1 ? u"beginning" : u"end of"), std::u16string::npos);
    }
    const bool moved = c.expectedCaret != c.caret;
    const std::vector<std::uint32_t> focus = {platform::kWmSetFocus, platform::kWmKillFocus};
    EXPECT_EQ(list_->focusMessages, moved ? focus : std::vector<std::uint32_t>{});
  }
}

TEST_F(RecordViewerTest, SelectsTheShownEntryOnlyWhenTheHostHadNoSelection) {
  struct Case {
    const char* what;
    bool multiple;
    int preselected;  // -1: none
    std::vector<bool> whileUp, afterwards;
  };
  const Case cases[] = {
      {"nothing selected", true, -1, {false, false, true, false}, {false, false, false, false}},
      {"the user's selection", true, 3, {false, false, false, true}, {false, false, false, true}},
      {"single selection", false, -1, {false, false, false, false}, {false, false, false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<bool> whileUp;
    Then([&](sim::SimDialog& d) {
      d.Click(btnDown);  // from entry 1 to entry 2
      whileUp = list_->selected;
    });
    list_ = &HostList(names_, 1, c.multiple);
    if (c.preselected >= 0) list_->selected[static_cast<std::size_t>(c.preselected)] = true;
    ASSERT_EQ(Execute(u"\\Application\\" + names_[0], u"open"), fs::FS_EXEC_OK);
    EXPECT_EQ(list_->caret, 2);
    EXPECT_EQ(whileUp, c.whileUp);
    EXPECT_EQ(list_->selected, c.afterwards);
  }
}

TEST_F(RecordViewerTest, CopiesTheShownCaptionsAsText) {
  Then([](sim::SimDialog& d) {
    d.Click(rbWord);
    d.Click(btnCopy);
  });
  ASSERT_EQ(OpenAt(2), fs::FS_EXEC_OK);
  const auto d = LastDialog();
  const auto line = [](std::u16string label, std::u16string value) {
    return label + std::u16string(28 - label.size(), u' ') + value + u"\r\n";
  };
  const std::u16string expected =
      line(u"Event Type:", u"Error") + line(u"Event Source:", u"Disk") +
      line(u"Event Category:", u"Unknown") + line(u"Event ID:", u"11") +
      line(u"Date:", TextOf(d, lblDateVal)) + line(u"Time:", TextOf(d, lblTimeVal)) +
      line(u"User Name:", u"N\\A") + line(u"Computer Name:", u"QBSIM") + u"\r\nDescription:\r\n" +
      TextOf(d, memDescription) + u"\r\n\r\nBinary Data:\r\n0000: 6C6C6548 0201006F 4241 \r\n";
  EXPECT_EQ(ui().ClipboardText(), expected);
}

TEST_F(RecordViewerTest, ARecordThatIsGoneShowsNothingMadeUp) {
  app_.Clear();
  ASSERT_EQ(OpenAt(2), fs::FS_EXEC_OK);
  const auto d = LastDialog();
  for (const int id : {lblTypeVal, lblDateVal, lblTimeVal, lblUserVal, lblCompVal, lblSourceVal,
                       lblCategryVal, lblCodeVal}) {
    EXPECT_EQ(TextOf(d, id), u"N\\A") << id;
  }
  EXPECT_EQ(ControlOf(d, StatusImage).image, -1);
  EXPECT_EQ(TextOf(d, memDescription), u"");
  for (const int id : {lblData, rbByte, rbWord, memData}) {
    EXPECT_FALSE(ControlOf(d, id).enabled) << id;
  }
}

TEST_F(RecordViewerTest, SteppingOnFromARecordThatIsGone) {
  // Record 1, the oldest, has been overwritten since the listing.
  app_.records.pop_front();
  app_.oldestNumber = 2;
  Then([](sim::SimDialog& d) {
    EXPECT_EQ(d.Text(lblCodeVal), u"N\\A");
    for (const int id : {lblData, rbByte, rbWord, memData}) {
      EXPECT_FALSE(d.IsEnabled(id)) << id;
    }
    d.Click(btnUp);  // to record 2, which has data
  });
  ASSERT_EQ(OpenAt(3), fs::FS_EXEC_OK);
  const auto d = LastDialog();
  EXPECT_EQ(list_->caret, 2);
  EXPECT_EQ(TextOf(d, lblCodeVal), u"11");
  EXPECT_EQ(TextOf(d, lblTypeVal), u"Error");
  EXPECT_EQ(ControlOf(d, StatusImage).image, 1);
  for (const int id : {lblData, rbByte, rbWord, memData}) {
    EXPECT_TRUE(ControlOf(d, id).enabled) << id;
  }
  EXPECT_EQ(TextOf(d, memData).substr(0, 6), u"0000: ");
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(RecordViewerTest, EntriesThatAreNoRecordsAreTold) {
  const std::u16string notARecord = u"This entry is not an event record.";
  struct Case {
    const char* what;
    std::u16string extra;  // an entry after the records, at index 4
    int caret;
    std::u16string message;
  };
  const Case cases[] = {
      {"the parent entry", u"", 0, notARecord},
      {"no number", u"[x] Disk.error", 4, notARecord},
      {"no brackets", u"Disk.error", 4, notARecord},
      {"a number too large", u"[4294967296] Disk.error", 4, notARecord},
      {"beyond the list", u"", 9, u"List index out of bounds (9)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto names = names_;
    if (!c.extra.empty()) names.push_back(c.extra);
    HostList(names, c.caret);
    ASSERT_EQ(Execute(u"\\Application\\" + names_[0], u"open"), fs::FS_EXEC_OK);
    EXPECT_EQ(TakeMessages(), std::vector<std::u16string>{c.message});
    EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), u"");
  }
}

TEST_F(RecordViewerTest, SteppingOntoAnEntryThatIsNoRecordKeepsTheRecordShown) {
  auto names = names_;
  names.push_back(u"[x] Disk.error");
  Then([](sim::SimDialog& d) { d.Click(btnDown); });
  HostList(names, 3);
  ASSERT_EQ(Execute(u"\\Application\\" + names_[2], u"open"), fs::FS_EXEC_OK);
  EXPECT_EQ(TakeMessages(), std::vector<std::u16string>{u"This entry is not an event record."});
  EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), u"7036");
}

TEST_F(RecordViewerTest, AListThatRefusesTheCaretKeepsTheRecordAndTheSelection) {
  Then([&](sim::SimDialog& d) {
    list_->refuseCaret = true;
    d.Click(btnDown);
  });
  ASSERT_EQ(OpenAt(2), fs::FS_EXEC_OK);
  EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), u"11");
  EXPECT_EQ(list_->caret, 2);
  EXPECT_TRUE(list_->focusMessages.empty());
}

TEST_F(RecordViewerTest, ReadsTheRecordOfTheLogItsNameGives) {
  ASSERT_TRUE(List(u"\\System").ok);  // System is the log open now
  auto& list = HostList(names_, 3);
  ASSERT_EQ(Execute(u"\\Application\\" + names_[2], u"open"), fs::FS_EXEC_OK);
  EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), u"7036");
  EXPECT_EQ(list.caret, 3);
}

TEST_F(RecordViewerTest, OpensTheLogOnlyWhenItIsNotTheOneOpen) {
  struct Case {
    std::u16string listed;  // the folder listed before: the log open then
    std::size_t openCalls;
  };
  const Case cases[] = {{u"\\Application", 0}, {u"\\System", 1}, {u"\\", 1}};
  auto& service = machine().eventlog();
  for (const auto& c : cases) {
    SCOPED_TRACE(support::U8(c.listed));
    ASSERT_TRUE(List(c.listed).ok);
    const std::size_t opens = service.OpenCallCount();
    const std::size_t handles = service.OpenHandleCount();
    Then([](sim::SimDialog& d) { d.Click(btnDown); });  // each record read goes through the log
    ASSERT_EQ(OpenAt(2), fs::FS_EXEC_OK);
    EXPECT_EQ(TextOf(LastDialog(), lblCodeVal), u"7036");
    EXPECT_EQ(service.OpenCallCount() - opens, c.openCalls);
    // One log open for reading at a time: a switch replaces the handle.
    EXPECT_EQ(service.OpenHandleCount(), handles + (c.listed == u"\\" ? 1u : 0u));
  }
}

TEST_F(RecordViewerTest, ALogThatDoesNotOpenIsAnErrorWithoutADialog) {
  machine().eventlog().SetOpenFails(u"Application", platform::err::kAccessDenied);
  ASSERT_TRUE(List(u"\\").ok);  // closes the log
  HostList(names_, 1);
  EXPECT_EQ(Execute(u"\\Application\\" + names_[0], u"open"), fs::FS_EXEC_ERROR);
  EXPECT_TRUE(ui().Dialogs().empty());
}

TEST_F(RecordViewerTest, EnterAndEscClose) {
  struct Case {
    bool memo;
    std::uint32_t key;
    int result;
  };
  const Case cases[] = {{false, platform::vk::kReturn, platform::dlgresult::kOk},
                        {true, platform::vk::kReturn, platform::dlgresult::kOk},
                        {true, platform::vk::kEscape, platform::dlgresult::kCancel}};
  for (const auto& c : cases) {
    Then([&](sim::SimDialog& d) {
      if (c.memo) d.Focus(memData);
      d.PressKey(c.key);
      EXPECT_TRUE(d.closed());
    });
    ASSERT_EQ(OpenAt(1), fs::FS_EXEC_OK);
    EXPECT_EQ(LastDialog().result, c.result);
  }
}

}  // namespace
}  // namespace qb
