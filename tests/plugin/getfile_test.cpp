#include "support/plugin_fixture.h"

namespace qb {
namespace {

using support::PluginTest;

class GetFileTest : public PluginTest {
 protected:
  GetFileTest() : app_(AddLog(u"Application")) { AddLog(u"System"); }
  sim::SimEventLog& app_;
  const std::u16string out_ = u"C:\\Temp\\record.txt";
};

TEST_F(GetFileTest, TheTextOfAPlainRecordByteForByte) {
  auto r = Record(u"Service Control Manager", 0x40001B7C, 4);
  r.timeWritten = 1'199'145'600 + 3 * 3600 + 4 * 60 + 5;  // 2008-01-01 03:04:05 UTC
  r.computer = u"WS01";
  r.category = 0;
  r.strings = {u"Print Spooler", u"running"};
  app_.Append(r);
  Init();
  ASSERT_EQ(GetFile(u"\\Application\\[1] Service Control Manager.information", out_),
            fs::FS_FILE_OK);
  const auto bytes = files().FileContents(out_);
  ASSERT_TRUE(bytes.has_value());
  ASSERT_GE(bytes->size(), 2u);
  EXPECT_EQ((*bytes)[0], std::byte{0xFF});
  EXPECT_EQ((*bytes)[1], std::byte{0xFE});
  const auto L = [](std::u16string label) {
    return label + std::u16string(28 - label.size(), u' ');
  };
  EXPECT_EQ(FileText(out_),
            L(u"Root Key:") + u"Application\r\n" + L(u"Event Source:") +
                u"Service Control Manager\r\n" + L(u"Date:") + u"1/1/2008 3:04:05 AM\r\n" +
                L(u"Event ID:") + u"7036\r\n" + L(u"Event Category:") + u"Unknown\r\n" +
                L(u"Event Type:") + u"information\r\n" + L(u"Record Number:") +
                u"1\r\n"
                u"\r\n" +
                L(u"User Name:") + u"N\\A\r\n" + L(u"Computer Name:") +
                u"WS01\r\n"
                u"\r\n" +
                L(u"Description:") +
                u"\r\n"
                u"Not found the description for event ID ( 7036 ) in Source ( Service Control "
                u"Manager ). The local computer may not have the necessary registry information or "
                u"message DLL files to display messages from a remote computer. The following "
                u"information is part of the event: Print Spooler\r\nrunning\r\n\r\n");
}

TEST_F(GetFileTest, UserLineHighBitsAndBinaryData) {
  AddLibrary(u"C:\\m.dll", {{0xC0000410, u"Bad thing.\r\n"}});
  AddSource(u"Application", u"App", u"C:\\m.dll");
  auto r = Record(u"App", 3221226512u, 1);  // 0xC0000410: the low 16 bits are 1040
  r.timeWritten = 1'199'145'600;            // midnight: the date alone
  r.data = {std::byte{0x48}, std::byte{0x69}, std::byte{0x00}, std::byte{0x01}};
  r.sid = sim::SimAccounts::SidFromString(u"S-1-5-21-1-2-3-1001");
  machine().accounts().AddAccount(r.sid, u"", u"WORKGROUP");
  app_.Append(r);
  Init();
  ASSERT_EQ(GetFile(u"\\Application\\[1] App.error", out_), fs::FS_FILE_OK);
  const std::u16string text = FileText(out_);
  EXPECT_NE(text.find(u"Date:" + std::u16string(23, u' ') + u"1/1/2008\r\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"Event ID:" + std::u16string(19, u' ') + u"1040\r\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"User Name:" + std::u16string(18, u' ') + u"WORKGROUP\\\r\n"),
            std::u16string::npos);
  const std::u16string label31 = u"Binary Data:" + std::u16string(16, u' ');
  const std::u16string label33 = u"By Words:" + std::u16string(19, u' ');
  const std::u16string label35 = u"By Bytes:" + std::u16string(19, u' ');
  const std::u16string tail = u"\r\nDescription:" + std::u16string(16, u' ') +
                              u"\r\nBad thing.\r\n"
                              u"\r\n" +
                              label31 +
                              u"\r\n"
                              u"\r\n" +
                              label33 +
                              u"\r\n0000: 01006948 \r\n"
                              u"\r\n" +
                              label35 + u"\r\n0000: 48 69 00 01 " + std::u16string(16, u' ') +
                              u"Hi..\r\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << support::U8(text);
}

TEST_F(GetFileTest, AbortsAndFailuresWriteNothingOrSayWhy) {
  app_.Append(Record(u"S"));
  Init();
  ProgressAnswer() = 1;
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", out_), fs::FS_FILE_USERABORT);
  EXPECT_FALSE(files().FileExists(out_));
  EXPECT_EQ(machine().eventlog().OpenHandleCount(), 0u);  // no log opened either
  ProgressAnswer() = 0;
  EXPECT_EQ(GetFile(u"\\Application\\[2] S.information", out_), fs::FS_FILE_READERROR);
  EXPECT_FALSE(files().FileExists(out_));
  EXPECT_EQ(GetFile(u"\\Application\\S.information", out_), fs::FS_FILE_NOTFOUND);
  EXPECT_EQ(GetFile(u"\\Application\\[x1] S.information", out_), fs::FS_FILE_NOTFOUND);
  EXPECT_EQ(GetFile(u"\\NoSuchLog\\[1] S.information", out_), fs::FS_FILE_READERROR);
  files().SetReadOnlyFolder(u"C:\\Locked");
  files().AddDirectory(u"C:\\Locked");
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Locked\\r.txt"),
            fs::FS_FILE_WRITEERROR);
  // Abort asked at the end: the file stays written.
  int calls = 0;
  ProgressCalls().clear();
  ProgressAnswer() = 0;
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", out_), fs::FS_FILE_OK);
  calls = static_cast<int>(ProgressCalls().size());
  EXPECT_EQ(calls, 2);
  // A record cleared since the listing can no longer be read.
  ASSERT_TRUE(List(u"\\Application").ok);
  app_.Clear();
  EXPECT_EQ(GetFile(u"\\Application\\[1] S.information", u"C:\\Temp\\gone.txt"),
            fs::FS_FILE_READERROR);
  EXPECT_FALSE(files().FileExists(u"C:\\Temp\\gone.txt"));
}

TEST_F(GetFileTest, AnExistingFileIsReplacedOnlyWhenTheHostSaysSo) {
  app_.Append(Record(u"S"));
  Init();
  std::u16string remote = u"\\Application\\[1] S.information";
  std::u16string local = out_;
  files().AddFile(out_, std::string_view("mine"));
  for (const int flags : {0, fs::FS_COPYFLAGS_RESUME, fs::FS_COPYFLAGS_MOVE}) {
    EXPECT_EQ(FsGetFileW(remote.data(), local.data(), flags, nullptr), fs::FS_FILE_EXISTS);
    EXPECT_EQ(FileText(out_), u"mine");
  }
  EXPECT_EQ(FsGetFileW(remote.data(), local.data(), fs::FS_COPYFLAGS_OVERWRITE, nullptr),
            fs::FS_FILE_OK);
  EXPECT_EQ(FileText(out_).substr(0, 9), u"Root Key:");
}

TEST_F(GetFileTest, TheRecordComesFromTheLogItsNameGives) {
  app_.Append(Record(u"AppSource", 100));
  machine().eventlog().AddLog(u"System").Append(Record(u"SysSource", 200));
  Init();
  // The other panel listed System last; the copy names a record of Application.
  ASSERT_TRUE(List(u"\\System").ok);
  ASSERT_EQ(GetFile(u"\\Application\\[1] AppSource.information", out_), fs::FS_FILE_OK);
  EXPECT_NE(FileText(out_).find(u"Event Source:" + std::u16string(15, u' ') + u"AppSource\r\n"),
            std::u16string::npos);
  EXPECT_NE(FileText(out_).find(u"Root Key:" + std::u16string(19, u' ') + u"Application\r\n"),
            std::u16string::npos);
}

TEST_F(GetFileTest, EightBitNamesAndTheEightBitCallback) {
  app_.Append(Record(u"S"));
  static std::string seenRemote;
  FsInit(
      2,
      [](int, char* remote, char*, int) QB_STDCALL {
        seenRemote = remote;
        return 0;
      },
      nullptr, nullptr);
  char remote[] = "\\Application\\[1] S.information";
  char local[] = "C:\\Temp\\caf\xe9.txt";
  EXPECT_EQ(FsGetFile(remote, local, 0, nullptr), fs::FS_FILE_OK);
  EXPECT_TRUE(files().FileExists(u"C:\\Temp\\caf\u00e9.txt"));
  EXPECT_EQ(seenRemote, remote);
}

}  // namespace
}  // namespace qb
