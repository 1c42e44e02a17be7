#include "platform/sim/machine_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "support/machine_folder_maker.h"
#include "support/pe_builder.h"

namespace qb::support {
namespace {

namespace fs = std::filesystem;
namespace err = platform::err;

class MachineFolderTest : public ::testing::Test {
 protected:
  const fs::path& root() const { return temp_.path(); }

  // Loads the folder into a fresh machine; what was skipped, a line each, empty when nothing.
  std::string Load() {
    machine_ = std::make_unique<sim::Machine>();
    std::string error;
    std::vector<std::string> skipped;
    EXPECT_TRUE(sim::LoadMachineFolder(*machine_, root(), &error, &skipped)) << error;
    std::string lines;
    for (const auto& line : skipped) lines += line + "\n";
    return lines;
  }

  sim::Machine& machine() { return *machine_; }

 private:
  TempFolder temp_;
  std::unique_ptr<sim::Machine> machine_;
};

std::u16string Expand(sim::Machine& machine, std::u16string_view text) {
  std::vector<char16_t> buffer(512);
  const auto n = machine.system().ExpandEnvironmentStrings(text, buffer);
  return n == 0 || n > buffer.size() ? u"" : std::u16string(buffer.data(), n - 1);
}

TEST_F(MachineFolderTest, AnEmptyFolderIsAPlainMachine) {
  EXPECT_EQ(Load(), "");
  std::uint32_t major = 0;
  EXPECT_TRUE(machine().system().GetVersionEx(major));
  EXPECT_EQ(major, 10u);
}

TEST_F(MachineFolderTest, LoadsRegistryLogsAndFiles) {
  WriteHostFile(
      root() / "registry.reg",
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application]\r\n"
      "\"MaxSize\"=dword:00080000\r\n");
  WriteHostFile(
      root() / "logs" / "Application.evt",
      EvtOf({RecordOf(u"Alpha", 1, 4, 1'700'000'000), RecordOf(u"Beta", 2, 1, 1'700'000'100)}, 41));
  WriteHostFile(root() / "logs" / "Setup.evt", EvtOf({}));
  WriteHostFile(root() / "files" / "C" / "Windows" / "System32" / "plain.dll", "MZ bytes");
  WriteHostFile(root() / "files" / "d" / "Data" / "notes.txt", "note");
  fs::create_directories(root() / "files" / "C" / "Empty" / "Folder");
  ASSERT_EQ(Load(), "");

  EXPECT_EQ(machine().registry().GetDword(
                u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", u"MaxSize"),
            0x80000u);

  const sim::SimEventLog* app = machine().eventlog().FindLog(u"Application");
  ASSERT_NE(app, nullptr);
  ASSERT_EQ(app->records.size(), 2u);
  EXPECT_EQ(sim::RecordNumber(app->records.front()), 41u);
  EXPECT_EQ(app->nextNumber, 43u);
  const sim::SimEventLog* setup = machine().eventlog().FindLog(u"setup");
  ASSERT_NE(setup, nullptr);
  EXPECT_TRUE(setup->records.empty());
  EXPECT_EQ(setup->name(), u"Setup");

  const auto dll = machine().system().FileContents(u"C:\\Windows\\System32\\plain.dll");
  ASSERT_TRUE(dll);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dll->data()), dll->size()), "MZ bytes");
  // Lower-case drive folders name the same drive letter.
  EXPECT_TRUE(machine().system().FileContents(u"D:\\Data\\notes.txt"));
  EXPECT_TRUE(machine().system().DirectoryExists(u"C:\\Empty\\Folder"));
  EXPECT_FALSE(machine().system().FileExists(u"C:\\Windows\\System32"));
}

TEST_F(MachineFolderTest, MessageDllsInTheFilesServeTheirTables) {
  const auto dll = PeBuilder().AddMessage(0x1234, u"Hello %1\r\n").Build();
  WriteHostFile(root() / "files" / "C" / "Windows" / "System32" / "qbsample.dll", dll);
  ASSERT_EQ(Load(), "");
  auto& modules = machine().modules();
  platform::ErrorCode error = 0;
  const auto module = modules.LoadLibrary(u"C:\\WINDOWS\\system32\\qbsample.dll", error);
  ASSERT_NE(module, 0u) << error;
  std::u16string text;
  EXPECT_EQ(modules.MessageTemplate(module, 0x1234, text), err::kSuccess);
  EXPECT_EQ(text, u"Hello %1\r\n");
  modules.FreeLibrary(module);
}

// A mounted image's system folder is linked in, not copied: links to folders are followed, a
// link back into the walk and a dangling link are passed over, and the machine never writes
// into the host's files.
TEST_F(MachineFolderTest, LinkedFoldersAreFollowedAndTheHostFilesStayUntouched) {
  TempFolder image;
  WriteHostFile(image.path() / "system32" / "msg.dll", "MZ image");
  fs::create_directories(root() / "files" / "C" / "WINDOWS");
  fs::create_directory_symlink(image.path() / "system32",
                               root() / "files" / "C" / "WINDOWS" / "system32");
  fs::create_directory_symlink(root() / "files" / "C", image.path() / "system32" / "back");
  fs::create_symlink(image.path() / "gone.dll", root() / "files" / "C" / "WINDOWS" / "gone.dll");
  ASSERT_EQ(Load(), "");

  auto& files = machine().system();
  const auto dll = files.FileContents(u"C:\\Windows\\System32\\msg.dll");
  ASSERT_TRUE(dll);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(dll->data()), dll->size()), "MZ image");
  EXPECT_TRUE(files.DirectoryExists(u"C:\\Windows\\System32\\back"));
  EXPECT_FALSE(files.DirectoryExists(u"C:\\Windows\\System32\\back\\WINDOWS"));
  EXPECT_FALSE(files.FileExists(u"C:\\Windows\\gone.dll"));

  std::vector<platform::FindEntry> found;
  ASSERT_EQ(files.FindFiles(u"C:\\Windows\\System32\\msg.dll", found), err::kSuccess);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].size, 8u);

  const std::string bytes = "new";
  EXPECT_EQ(files.WriteFile(u"C:\\Windows\\System32\\msg.dll",
                            std::as_bytes(std::span(bytes.data(), bytes.size()))),
            err::kSuccess);
  EXPECT_EQ(files.FileContents(u"C:\\Windows\\System32\\msg.dll")->size(), 3u);
  EXPECT_EQ(fs::file_size(image.path() / "system32" / "msg.dll"), 8u);
  // A host file that went away since the load reads as a read fault, not as empty.
  WriteHostFile(root() / "files" / "C" / "later.txt", "x");
  ASSERT_EQ(Load(), "");
  fs::remove(root() / "files" / "C" / "later.txt");
  platform::Bytes data;
  EXPECT_EQ(machine().system().ReadFile(u"C:\\later.txt", data), err::kReadFault);
}

// The log properties find a live log's file where its key says; the .evt file stands in for
// it unless files/ has one there.
TEST_F(MachineFolderTest, ALiveLogIsAFileWhereItsKeySays) {
  const std::string key = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\";
  WriteHostFile(root() / "registry.reg",
                "Windows Registry Editor Version 5.00\r\n\r\n" + key + "Application]\r\n" +
                    "\"File\"=\"%SystemRoot%\\\\config\\\\AppEvent.Evt\"\r\n\r\n" + key +
                    "System]\r\n\"File\"=\"C:\\\\Logs\\\\SysEvent.Evt\"\r\n\r\n" + key +
                    "Setup]\r\n\"File\"=\"SetupEvent.Evt\"\r\n");
  WriteHostFile(root() / "logs" / "Application.evt", EvtOf({RecordOf(u"Alpha", 1, 4, 1)}));
  WriteHostFile(root() / "logs" / "System.evt", EvtOf({}));
  WriteHostFile(root() / "logs" / "Setup.evt", EvtOf({}));
  WriteHostFile(root() / "files" / "C" / "Logs" / "SysEvent.Evt", "own");
  ASSERT_EQ(Load(), "");
  auto& files = machine().system();
  const std::u16string app = Expand(machine(), u"%SystemRoot%\\config\\AppEvent.Evt");
  ASSERT_TRUE(files.FileContents(app));
  EXPECT_EQ(files.FileContents(app)->size(), fs::file_size(root() / "logs" / "Application.evt"));
  EXPECT_EQ(files.FileContents(u"C:\\Logs\\SysEvent.Evt")->size(), 3u);
  EXPECT_FALSE(files.FileExists(u"C:\\SetupEvent.Evt"));
}

TEST_F(MachineFolderTest, MachineIniSetsTheMachine) {
  WriteHostFile(root() / "machine.ini",
                "\xEF\xBB\xBF; the test machine\r\n"
                "[Machine]\r\n"
                "OsMajorVersion=5\r\n"
                "UtcOffsetMinutes=-90\r\n"
                "AnsiCodePage=65001\r\n"
                "ComputerName=SIMHOST\r\n"
                "ModulePath=D:\\Tools\\Quillerbankton\\Quillerbankton.wfx64\r\n"
                "[Accounts]\r\n"
                "S-1-5-21-11-22-33-1001=WORKGROUP\\Jos\xC3\xA9\r\n"
                "S-1-1-0=Everyone\r\n");
  WriteHostFile(root() / "logs" / "Application.evt", EvtOf({}));
  ASSERT_EQ(Load(), "");

  std::uint32_t major = 0;
  EXPECT_TRUE(machine().system().GetVersionEx(major));
  EXPECT_EQ(major, 5u);
  EXPECT_EQ(machine().locale().UtcOffsetMinutes(), -90);
  EXPECT_EQ(machine().locale().AnsiCodePage(), 65001u);
  EXPECT_EQ(machine().system().ModuleFileName(),
            u"D:\\Tools\\Quillerbankton\\Quillerbankton.wfx64");
  EXPECT_EQ(Expand(machine(), u"%COMPUTERNAME%"), u"SIMHOST");

  // Events reported on this machine carry its name.
  auto& service = machine().eventlog();
  platform::Handle source = 0;
  ASSERT_EQ(service.RegisterEventSource(u"Probe", source), err::kSuccess);
  ASSERT_EQ(service.ReportEvent(source, 4, 0, 7, {}, {}), err::kSuccess);
  service.DeregisterEventSource(source);
  const auto& record = service.FindLog(u"Application")->records.back();
  const std::u16string name = u"SIMHOST";
  const auto nameBytes = std::as_bytes(std::span(name));
  EXPECT_NE(std::search(record.begin(), record.end(), nameBytes.begin(), nameBytes.end()),
            record.end());

  std::u16string account, domain;
  ASSERT_EQ(
      machine().accounts().LookupAccountSid(
          sim::SimAccounts::SidFromString(u"S-1-5-21-11-22-33-1001"), 256, 256, account, domain),
      err::kSuccess);
  EXPECT_EQ(account, u"Jos\u00e9");
  EXPECT_EQ(domain, u"WORKGROUP");
  ASSERT_EQ(machine().accounts().LookupAccountSid(sim::SimAccounts::SidFromString(u"S-1-1-0"), 256,
                                                  256, account, domain),
            err::kSuccess);
  EXPECT_EQ(account, u"Everyone");
  EXPECT_EQ(domain, u"");
}

TEST_F(MachineFolderTest, MachineIniMayBeUtf16) {
  const std::u16string text = u"[Machine]\r\nComputerName=WIDE\u00c9\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  WriteHostFile(root() / "machine.ini", bytes);
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(Expand(machine(), u"%COMPUTERNAME%"), u"WIDE\u00c9");
}

// Each fault skips its part alone, named with the file it is in and what is wrong there; the
// rest of the machine loads.
struct Fault {
  const char* file;
  std::string contents;
  std::vector<const char*> expected;  // parts of the error text
};

class MachineFolderFaultTest : public MachineFolderTest,
                               public ::testing::WithParamInterface<Fault> {};

TEST_P(MachineFolderFaultTest, SkipsThePartAndNamesTheFileAndTheReason) {
  WriteHostFile(root() / "logs" / "Application.evt", EvtOf({RecordOf(u"Alpha", 1, 4, 1)}));
  WriteHostFile(root() / "files" / "C" / "ok.dll", "MZ");
  WriteHostFile(root() / "machine.ini", "[Machine]\nComputerName=GOOD\n");
  const std::string name = GetParam().file;
  if (name == "machine.ini") {
    WriteHostFile(root() / name, GetParam().contents + "[Machine]\nComputerName=GOOD\n");
  } else {
    WriteHostFile(root() / name, GetParam().contents);
  }
  const std::string skipped = Load();
  // One line, which begins with the folder's own file name.
  EXPECT_EQ(skipped.find(root().generic_string()), 0u) << skipped;
  EXPECT_EQ(std::count(skipped.begin(), skipped.end(), '\n'), 1) << skipped;
  for (const char* part : GetParam().expected) {
    EXPECT_NE(skipped.find(part), std::string::npos) << skipped << " lacks " << part;
  }
  const sim::SimEventLog* app = machine().eventlog().FindLog(u"Application");
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->records.size(), 1u);
  EXPECT_TRUE(machine().system().FileExists(u"C:\\ok.dll"));
  EXPECT_EQ(Expand(machine(), u"%COMPUTERNAME%"), u"GOOD");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MachineFolderFaultTest,
    ::testing::Values(
        Fault{"machine.ini",
              "[Machine]\nOsMajorVersion=five\n",
              {"machine.ini:", "OsMajorVersion", "five"}},
        Fault{"machine.ini",
              "[Machine]\nAnsiCodePage=437\n",
              {"machine.ini:", "AnsiCodePage", "437"}},
        Fault{
            "machine.ini", "[Machine]\nUtcOfsetMinutes=60\n", {"machine.ini:", "UtcOfsetMinutes"}},
        Fault{"machine.ini",
              "[Machine]\nUtcOffsetMinutes=100000\n",
              {"machine.ini:", "UtcOffsetMinutes"}},
        Fault{"machine.ini", "[Machine]\nComputerName=\n", {"machine.ini:", "ComputerName"}},
        Fault{"machine.ini", "[Machines]\nComputerName=X\n", {"machine.ini:", "[Machines]"}},
        Fault{
            "machine.ini", "[Accounts]\nS-1-x=DOMAIN\\name\n", {"machine.ini:", "S-1-x", "no SID"}},
        Fault{"machine.ini", "[Accounts]\nS-1-5-18=DOMAIN\\\n", {"machine.ini:", "S-1-5-18"}},
        Fault{"registry.reg", "REGEDIT4\n\"N\"=\"no key\"\n", {"registry.reg:", "line"}},
        Fault{"logs/System.evt", "this is no event log", {"logs/System.evt:"}},
        Fault{"logs/System.evtx", "ElfFile", {"logs/System.evtx:", "no .evt"}},
        Fault{"logs/Broken.evt", std::string(100, '\0'), {"logs/Broken.evt:"}},
        Fault{"logs/README.txt", "notes", {"logs/README.txt:", "no .evt"}},
        Fault{"machine.ini", "ComputerName=X\n", {"machine.ini:", "line 1", "outside"}},
        Fault{"files/readme.txt", "x", {"files/readme.txt:", "drive folder"}},
        Fault{"files/CD/x.dll", "x", {"files/CD:", "drive folder"}}));

TEST_F(MachineFolderTest, AFifoInTheFilesIsSkipped) {
  WriteHostFile(root() / "files" / "C" / "a.dll", "MZ");
  ASSERT_EQ(mkfifo((root() / "files" / "C" / "pipe").c_str(), 0600), 0);
  const std::string skipped = Load();
  EXPECT_NE(skipped.find("files/C/pipe: is neither a file nor a folder"), std::string::npos)
      << skipped;
  EXPECT_TRUE(machine().system().FileExists(u"C:\\a.dll"));
}

TEST_F(MachineFolderTest, AMissingFolderIsAnError) {
  sim::Machine machine;
  std::string error;
  EXPECT_FALSE(sim::LoadMachineFolder(machine, root() / "nowhere", &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos) << error;
  EXPECT_NE(error.find("no folder"), std::string::npos) << error;
  // No error text is asked for: still a plain failure.
  EXPECT_FALSE(sim::LoadMachineFolder(machine, root() / "nowhere", nullptr));
}

}  // namespace
}  // namespace qb::support
